// The UI on its own thread while frames run: statistics, the dialogs and the standard source's
// refresh reach the module and its sources only through snapshots and atomics (run under TSan).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/source/DialogCapture.h"
#include "tests/source/ModuleRig.h"

namespace plugin_test {
namespace {

class Threads : public ModuleRig {
 protected:
  Threads()
      : ModuleRig(
            "channel 0 virtual\nchannel 1 virtual\nchannel 3 virtual\n"
            "generator default id=100,200,18FEF100 period=1ms length=8\n") {}
  DialogCapture m_dialogs;
};

TEST_F(Threads, UiReadsStatisticsAndRefreshesDialogsWhileFramesRun) {
  auto* source = dynamic_cast<CCanStandardSource*>(Add(0));
  ASSERT_NE(source, nullptr);
  const CCanStandardSrcDlg* dialog = DialogCapture::last();  // the window of channel 0's source
  ASSERT_NE(dialog, nullptr);
  Add(1);
  Attach();
  Start();
  std::atomic<bool> done{false};
  std::atomic<int> reads{0};
  std::atomic<std::size_t> shownIds{0};  // what the window showed, as the UI thread saw it
  std::thread ui([&] {
    while (!done.load()) {
      for (const auto& row : m_module.statistics())
        EXPECT_GE(row.received, row.delivered);
      m_module.ShowSettingsDialog();
      source->show_settings();
      CCentralMessageService::Pump();
      EXPECT_FALSE(source->running());
      EXPECT_EQ(m_module.delay(), 0);
      source->stats_snapshot();
      if (dialog->refresh_count() > 0) shownIds = dialog->shares().size();
      ++reads;
      std::this_thread::yield();
    }
  });
  for (int frame = 0; frame < 40; ++frame) {
    m_frameStart += kFrameNs;
    SetTime(m_frameStart);
    EXPECT_TRUE(WaitUntilDelivered());
    EXPECT_TRUE(m_driver.run_frame());
  }
  // The UI thread saw the frames: the refresh it ran showed the traffic of the open dialog.
  const bool refreshed =
      testing_support::WaitFor([&] { return reads.load() > 0 && dialog->refresh_count() > 0; });
  done = true;
  ui.join();
  ASSERT_TRUE(refreshed);
  EXPECT_EQ(shownIds.load(), 3u);
  ASSERT_TRUE(m_driver.stop());
  const auto stats = m_module.statistics();
  ASSERT_EQ(stats.size(), 2u);
  for (const auto& row : stats) {
    EXPECT_GT(row.delivered, 0u);
    EXPECT_EQ(row.received, row.delivered + row.old + row.future + row.waiting) << row.channel;
  }
}

}  // namespace
}  // namespace plugin_test
