// The shared library as the program loads it: dlopen with RTLD_LOCAL, entry points by
// dlsym from the library's own handle. Two libraries exporting the same names in one
// process each reach their own `execute` and their own progress channel.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "MeshgenArgs.h"
#include "VemtoListener.h"
#include "mesh_test_model.h"

namespace {

namespace fs = std::filesystem;

struct Library {
  void* handle = nullptr;
  MeshgenExecuteFn execute = nullptr;
  VemtoInitFn init = nullptr;
  VemtoGetInfoTextFn getInfoText = nullptr;
  VemtoBreakFn breakRun = nullptr;

  explicit Library(const fs::path& path) {
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return;
    execute = reinterpret_cast<MeshgenExecuteFn>(dlsym(handle, "execute"));
    init = reinterpret_cast<VemtoInitFn>(dlsym(handle, "IO_FUNC_mp_vemto_init"));
    getInfoText =
        reinterpret_cast<VemtoGetInfoTextFn>(dlsym(handle, "IO_FUNC_mp_vemto_getinfotext"));
    breakRun = reinterpret_cast<VemtoBreakFn>(dlsym(handle, "IO_FUNC_mp_vemto_break"));
  }
  ~Library() {
    if (handle != nullptr) dlclose(handle);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
};

struct Counter {
  std::vector<int> messages;
  std::string lastText;
  VemtoGetInfoTextFn fetch = nullptr;
  VemtoListener listener{&Counter::Send, this};
  static void Send(void* context, int message, std::intptr_t) {
    auto* self = static_cast<Counter*>(context);
    self->messages.push_back(message);
    if (self->fetch != nullptr) {
      char buffer[256] = {};
      self->fetch(buffer);
      self->lastText.assign(buffer, 255);
    }
  }
};

class LibraryLoading : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("meshgen_load_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(LibraryLoading, OnlyTheFlatNamesAreExported) {
  Library lib(fs::path(VEMTO_BIN_DIR) / "libmeshgen.so");
  ASSERT_NE(lib.handle, nullptr) << dlerror();
  EXPECT_NE(lib.execute, nullptr);
  EXPECT_NE(lib.init, nullptr);
  EXPECT_NE(lib.getInfoText, nullptr);
  EXPECT_NE(lib.breakRun, nullptr);
  // Internals stay hidden.
  EXPECT_EQ(dlsym(lib.handle, "_ZN7meshgen15ReduceBandwidthERNS_10MeshTablesE"), nullptr);
  EXPECT_EQ(dlsym(lib.handle, "_ZN6numlib6ModuleEv"), nullptr);
}

TEST_F(LibraryLoading, TwoLoadedLibrariesEachReachTheirOwnExecuteAndChannel) {
  // Two copies of the mesher under different file names stand for two libraries with
  // the same exported names; the engine joins when it has been built.
  const fs::path source = fs::path(VEMTO_BIN_DIR) / "libmeshgen.so";
  ASSERT_TRUE(fs::exists(source));
  fs::copy_file(source, dir_ / "liba.so");
  fs::copy_file(source, dir_ / "libb.so");
  Library a(dir_ / "liba.so");
  Library b(dir_ / "libb.so");
  ASSERT_NE(a.handle, nullptr);
  ASSERT_NE(b.handle, nullptr);
  EXPECT_NE(reinterpret_cast<void*>(a.execute), reinterpret_cast<void*>(b.execute));
  EXPECT_NE(reinterpret_cast<void*>(a.init), reinterpret_cast<void*>(b.init));

  Counter ca, cb;
  ca.fetch = a.getInfoText;
  cb.fetch = b.getInfoText;
  a.init(&ca.listener);
  b.init(&cb.listener);

  meshgen::test::TestModel model;  // no super nodes: fails at once
  MeshgenArgs args = model.Args();
  a.execute(&args);
  EXPECT_EQ(ca.messages, (std::vector<int>{VEMTO_MSG_ERROR}));
  EXPECT_TRUE(cb.messages.empty());
  EXPECT_EQ(ca.lastText.substr(0, 37), " NO SUPER ELEMENT COORDINATES DEFINED");

  // A successful run in b reaches b's listener only.
  model.AddNode(0, 0);
  model.AddNode(1, 0);
  model.AddNode(1, 1);
  model.AddNode(0, 1);
  model.elements.push_back(meshgen::test::Quad(1, 2, 3, 4));
  model.listFile = (dir_ / "m.lst").string();
  model.datFile = (dir_ / "m.dat").string();
  args = model.Args();
  b.execute(&args);
  EXPECT_EQ(ca.messages.size(), 1u);
  ASSERT_FALSE(cb.messages.empty());
  EXPECT_EQ(cb.messages.back(), VEMTO_MSG_FINISHED);
  EXPECT_TRUE(fs::exists(dir_ / "m.dat"));

  const fs::path engine = fs::path(VEMTO_BIN_DIR) / "libengine.so";
  if (fs::exists(engine)) {
    Library e(engine);
    ASSERT_NE(e.handle, nullptr) << dlerror();
    ASSERT_NE(e.init, nullptr);
    EXPECT_NE(reinterpret_cast<void*>(e.init), reinterpret_cast<void*>(a.init));
    EXPECT_NE(dlsym(e.handle, "execute"), reinterpret_cast<void*>(a.execute));
    Counter ce;
    e.init(&ce.listener);
    const std::size_t before = cb.messages.size();
    b.execute(&args);
    EXPECT_TRUE(ce.messages.empty());
    EXPECT_GT(cb.messages.size(), before);
  }
  a.init(nullptr);
  b.init(nullptr);
}

}  // namespace
