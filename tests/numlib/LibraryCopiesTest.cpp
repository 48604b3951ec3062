// Two libraries that each contain numlib, loaded into one process: each exported
// entry point reaches its own library's channel.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProgressChannel.h"
#include "VemtoListener.h"

namespace {

struct Log {
  std::vector<std::pair<int, std::intptr_t>> messages;
  VemtoListener listener{&Log::Send, this};
  static void Send(void* context, int message, std::intptr_t lParam) {
    static_cast<Log*>(context)->messages.emplace_back(message, lParam);
  }
};

class Library {
 public:
  explicit Library(const std::string& name) {
    const std::string path = std::string(VEMTO_BIN_DIR) + "/lib" + name + ".so";
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) ADD_FAILURE() << dlerror();
  }
  ~Library() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  template <typename F>
  F Get(const char* symbol) const {
    return handle_ == nullptr ? nullptr : reinterpret_cast<F>(dlsym(handle_, symbol));
  }
  bool Has(const char* symbol) const { return Get<void*>(symbol) != nullptr; }

 private:
  void* handle_ = nullptr;
};

TEST(LibraryCopies, EachLibraryAnswersWithItsOwnChannel) {
  Library a("numlib_probe_a");
  Library b("numlib_probe_b");
  auto initA = a.Get<VemtoInitFn>("IO_FUNC_mp_vemto_init");
  auto initB = b.Get<VemtoInitFn>("IO_FUNC_mp_vemto_init");
  auto textA = a.Get<VemtoGetInfoTextFn>("IO_FUNC_mp_vemto_getinfotext");
  auto textB = b.Get<VemtoGetInfoTextFn>("IO_FUNC_mp_vemto_getinfotext");
  auto breakA = a.Get<VemtoBreakFn>("IO_FUNC_mp_vemto_break");
  auto infoA = a.Get<void (*)(const char*)>("numlib_probe_info");
  auto infoB = b.Get<void (*)(const char*)>("numlib_probe_info");
  auto breakRequestedA = a.Get<int (*)()>("numlib_probe_break_requested");
  auto breakRequestedB = b.Get<int (*)()>("numlib_probe_break_requested");
  ASSERT_TRUE(initA && initB && textA && textB && breakA && infoA && infoB && breakRequestedA &&
              breakRequestedB);
  ASSERT_NE(reinterpret_cast<void*>(initA), reinterpret_cast<void*>(initB));

  Log logA, logB;
  initA(&logA.listener);
  initB(&logB.listener);
  infoA("PHASE OF A");
  infoB("PHASE OF B");
  ASSERT_EQ(logA.messages.size(), 1u);
  ASSERT_EQ(logB.messages.size(), 1u);
  char buffer[256] = {};
  textA(buffer);
  EXPECT_EQ(numlib::ProgressChannel::TrimmedText(buffer), "PHASE OF A");
  textB(buffer);
  EXPECT_EQ(numlib::ProgressChannel::TrimmedText(buffer), "PHASE OF B");

  breakA();
  EXPECT_EQ(breakRequestedA(), 1);
  EXPECT_EQ(breakRequestedB(), 0);
  initA(nullptr);
  initB(nullptr);
}

TEST(LibraryCopies, OnlyTheFlatNamesAreExported) {
  Library a("numlib_probe_a");
  EXPECT_TRUE(a.Has("IO_FUNC_mp_vemto_init"));
  EXPECT_TRUE(a.Has("IO_FUNC_mp_vemto_getinfotext"));
  EXPECT_TRUE(a.Has("IO_FUNC_mp_vemto_break"));
  EXPECT_FALSE(a.Has("_ZN6numlib6ModuleEv"));  // numlib::Module()
  EXPECT_FALSE(
      a.Has("_ZN6numlib11WorkStorage12DefineMatrixESt17basic_string_viewIcSt11char_traitsIcEEiiNS_"
            "10MatrixTypeE"));
}

TEST(LibraryCopies, AFatalStopInsideALibraryBecomesAnErrorMessage) {
  Library a("numlib_probe_a");
  auto initA = a.Get<VemtoInitFn>("IO_FUNC_mp_vemto_init");
  auto textA = a.Get<VemtoGetInfoTextFn>("IO_FUNC_mp_vemto_getinfotext");
  auto fail = a.Get<void (*)(int)>("numlib_probe_fail");
  ASSERT_TRUE(initA && textA && fail);
  Log log;
  initA(&log.listener);
  char buffer[256] = {};
  fail(10);    // COOR does not fit
  fail(1000);  // COOR fits, RK is not defined
  ASSERT_EQ(log.messages.size(), 2u);
  EXPECT_EQ(log.messages[0], std::make_pair(2026, std::intptr_t{1002}));
  EXPECT_EQ(log.messages[1], std::make_pair(2026, std::intptr_t{1000}));
  textA(buffer);
  EXPECT_EQ(numlib::ProgressChannel::TrimmedText(buffer), " ARRAY RK       NOT DEFINED");
  initA(nullptr);
}

}  // namespace
