#pragma once
// Archives of generated clips and an AppState with a recording window, for
// driving the jobs as the window does.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "archive/archive_index.h"
#include "jobs/app_state.h"
#include "jobs/export_job.h"
#include "settings/memory_store.h"
#include "tests/jobs/recording_window.h"
#include "tests/support/files.h"

namespace kowaki::test {

struct Clip {
  std::string name;
  std::string data;  // an Ogg Vorbis stream, or anything else
};

Clip Voice(std::string name, int rate, int channels, double seconds = 0.3);
// `count` mono voices named e0, e1, ...
std::vector<Clip> Voices(int count, int rate, double seconds = 0.3);

class JobTest : public ::testing::Test {
 protected:
  // One thread, as the tests of a job's exact calls expect; the tests of
  // parallel runs say how many.
  JobTest() { state_.threads = 1; }
  // Writes the archive and loads its index into the state.
  void MakeArchive(const std::vector<Clip>& clips);
  // Runs the listing on this thread, as the worker would.
  void List();
  // Both, and every row selected.
  void ListAndSelectAll(const std::vector<Clip>& clips);
  void SetSettings(int32_t type, int32_t frq, int32_t ch, int32_t merge);
  // An export about to run as the window starts it: the settings stored,
  // both pickers answering `into`; the setup reads those settings.
  ExportSetup ReadyExport(int32_t type, int32_t frq, int32_t ch, bool merge,
                          const std::string& into);
  // The PCM the decoder gives for entry `entry`, read straight.
  std::string Decoded(int32_t entry);
  // The last `n` calls the window recorded.
  std::vector<std::string> Tail(size_t n) const;

  TempDir dir_;
  std::vector<Clip> clips_;
  RecordingWindow window_;
  AppState state_;
  MemoryStore settings_;
};

}  // namespace kowaki::test
