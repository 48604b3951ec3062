// Runs the engine on files in a scratch folder and records its messages.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "EngineRun.h"
#include "ProgressChannel.h"

namespace vemto::engine::testing {

struct Message {
  int number = 0;
  std::intptr_t code = 0;
  std::string text;
};

/// Listener that records every message except 2029 (only counted) and can
/// request cancellation at the n-th time step.
struct Recorder {
  std::vector<Message> messages;
  long working = 0;
  int timeSteps = 0;
  int breakAtStep = -1;
  VemtoListener listener{&Recorder::Send, this};

  static void Send(void* context, int number, std::intptr_t code) {
    auto* r = static_cast<Recorder*>(context);
    if (number == VEMTO_MSG_WORKING) {
      ++r->working;
      return;
    }
    char buf[256] = {};
    IO_FUNC_mp_vemto_getinfotext(buf);
    r->messages.push_back({number, code, numlib::ProgressChannel::TrimmedText(buf)});
    if (number == VEMTO_MSG_TIMESTEP && ++r->timeSteps == r->breakAtStep) IO_FUNC_mp_vemto_break();
  }
  int Count(int number) const {
    int n = 0;
    for (const Message& m : messages) n += m.number == number;
    return n;
  }
  const Message* First(int number) const {
    for (const Message& m : messages)
      if (m.number == number) return &m;
    return nullptr;
  }
};

/// A scratch folder named after the running test, removed afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            (std::string("vemto_engine_") + info->test_suite_name() + "_" + info->name() + "_" +
             std::to_string(::getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

/// Sets an environment variable for the lifetime of the object (unsets it for a null
/// value) and restores the old value afterwards.
class EnvironmentSetting {
 public:
  EnvironmentSetting(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
      hadOld_ = true;
    }
    if (value != nullptr)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~EnvironmentSetting() {
    if (hadOld_)
      ::setenv(name_.c_str(), old_.c_str(), 1);
    else
      ::unsetenv(name_.c_str());
  }
  EnvironmentSetting(const EnvironmentSetting&) = delete;
  EnvironmentSetting& operator=(const EnvironmentSetting&) = delete;

 private:
  std::string name_, old_;
  bool hadOld_ = false;
};

/// One interval in hours: end, step, storage increment.
struct Hours {
  double end, step, store;
};

inline void Field(char (&buf)[256], const std::string& s) {
  std::memset(buf, 0, sizeof buf);
  std::memcpy(buf, s.data(), std::min<std::size_t>(s.size(), 255));
}

/// Runs the engine through the same path as the exported `execute`.
inline void RunEngineOn(Recorder& rec, const std::string& dat, const std::string& out,
                        const std::vector<Hours>& intervals, std::int32_t words = 800000,
                        const std::string& dtm = "") {
  std::vector<double> iv;
  for (const Hours& h : intervals) {
    iv.push_back(h.end * 3600.0);
    iv.push_back(h.step * 3600.0);
    iv.push_back(h.store * 3600.0);
  }
  const std::int32_t n = static_cast<std::int32_t>(intervals.size());
  char d[256], o[256], t[256];
  Field(d, dat);
  Field(o, out);
  Field(t, dtm);
  Execute(&rec.listener, &n, iv.data(), &words, d, o, t);
}

}  // namespace vemto::engine::testing
