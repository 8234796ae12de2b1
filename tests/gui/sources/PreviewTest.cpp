// The trim bar widget against the core geometry, and the preview player on
// real generated clips, with the offscreen platform. The video goes to a
// video sink: offscreen windows show nothing, but the sink sees every frame
// the player delivers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QWindow>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <random>

#include "PreviewRig.h"
#include "TempDir.h"

namespace tarquel {
namespace {

using test::PreviewRig;

class Media : public ::testing::Environment {
 public:
  static std::string Path(const std::string& name) { return Dir_->File(name); }
  void SetUp() override {
    Dir_ = std::make_unique<test::TempDir>();
    Make("clip6.mp4", 6);
    Make("clip2.mp4", 2);
    std::mt19937 random(7);
    std::string noise(64 * 1024, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    test::WriteFile(Path("noise.avi"), noise);
  }
  void TearDown() override { Dir_.reset(); }

 private:
  static void Make(const std::string& name, int seconds) {
    const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i "
                                "sine=frequency=440:sample_rate=44100 -t " + std::to_string(seconds) +
                                " -c:v mpeg4 -c:a aac '" + Path(name) + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot make " + name);
  }
  static inline std::unique_ptr<test::TempDir> Dir_;
};
const auto* const kMedia = ::testing::AddGlobalTestEnvironment(new Media);

void Click(QWidget* part, Qt::KeyboardModifiers mods, QEvent::Type type = QEvent::MouseButtonPress) {
  const QPointF at(part->width() / 2.0, part->height() / 2.0);
  QMouseEvent press(type, at, part->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, mods);
  QApplication::sendEvent(part, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, part->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, mods);
  QApplication::sendEvent(part, &release);
}

// The parts lie where the bar's geometry puts them.
void ExpectLayout(const PreviewRig& r) {
  const TTrimBar& b = *r.bar;
  const gui::TTrimBarPanel& p = *r.panel;
  EXPECT_EQ(p.Panel2->geometry(), QRect(0, 0, b.LeftWidth(), 19));
  EXPECT_EQ(p.Splitter1->geometry(), QRect(b.StartHandleLeft(), 0, 19, 19));
  EXPECT_EQ(p.Panel4->geometry(), QRect(b.StartHandleLeft() + 19, 0, b.MiddleWidth(), 19));
  EXPECT_EQ(p.Splitter2->geometry(), QRect(b.EndHandleLeft(), 0, 19, 19));
  EXPECT_EQ(p.Panel3->geometry(), QRect(b.EndHandleLeft() + 19, 0, b.RightWidth(), 19));
}

TEST(TrimBarPanel, DraggingAHandleSetsTheTimesOfTheSelectedRowOnRelease) {
  const struct {
    bool startHandle;
    int dx;
    int width;  // of the outer part after the drag
    const char *start, *end, *cut;
  } cases[] = {
      {true, 5, 6, "00:00:01", "00:01:40", "00:01:39"},
      {true, 110, 111, "00:00:50", "00:01:40", "00:00:50"},
      {true, -40, 1, "00:00:00", "00:01:40", "00:01:40"},
      {true, 400, 220, "00:01:40", "00:01:40", "00:00:00"},  // the middle keeps a pixel
      {false, -1, 2, "00:00:00", "00:01:40", "00:01:40"},
      {false, -109, 110, "00:00:00", "00:00:50", "00:00:50"},
      {false, -217, 218, "00:00:00", "00:00:00", "00:00:00"},
      {false, 30, 1, "00:00:00", "00:01:41", "00:01:41"},
  };
  for (const auto& c : cases) {
    PreviewRig r(false);
    r.SelectFile("/m/clip.avi", 100);
    QSignalSpy changed(r.panel, &gui::TTrimBarPanel::TimesChanged);
    PreviewRig::Drag(c.startHandle ? r.panel->Splitter1 : r.panel->Splitter2, c.dx, [&] {
      // Live resizing while the handle is held; nothing is written yet.
      EXPECT_EQ(c.startHandle ? r.bar->LeftWidth() : r.bar->RightWidth(), c.width) << c.dx;
      ExpectLayout(r);
      EXPECT_EQ(r.Cell(dxtrlSourceFileStartTime), "00:00:00");
      EXPECT_EQ(r.Cell(dxtrlSourceFileEndTime), "00:01:40");
    });
    EXPECT_EQ(r.Cell(dxtrlSourceFileStartTime), c.start) << c.dx;
    EXPECT_EQ(r.Cell(dxtrlSourceFileEndTime), c.end) << c.dx;
    EXPECT_EQ(r.Cell(dxtrlstclConvertDuration), c.cut) << c.dx;
    EXPECT_EQ(changed.count(), 1);
    ExpectLayout(r);
  }
}

TEST(TrimBarPanel, ClicksOnTheOuterPartsNudgeTheHandles) {
  PreviewRig r(false);
  r.SelectFile("/m/clip.avi", 100);
  PreviewRig::Drag(r.panel->Splitter1, 4);  // L = 5
  PreviewRig::Drag(r.panel->Splitter2, -19);  // R = 20
  QSignalSpy changed(r.panel, &gui::TTrimBarPanel::TimesChanged);
  Click(r.panel->Panel2, Qt::NoModifier);  // 5 is not more than 5
  EXPECT_EQ(r.bar->LeftWidth(), 5);
  Click(r.panel->Panel2, Qt::ControlModifier);
  EXPECT_EQ(r.bar->LeftWidth(), 4);
  Click(r.panel->Panel3, Qt::ShiftModifier, QEvent::MouseButtonDblClick);
  EXPECT_EQ(r.bar->RightWidth(), 10);
  EXPECT_EQ(r.Cell(dxtrlSourceFileEndTime), "00:01:37");
  Click(r.panel->Panel3, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(r.bar->RightWidth(), 5);
  Click(r.panel->Panel4, Qt::NoModifier);  // the middle does nothing
  EXPECT_EQ(changed.count(), 3);
  ExpectLayout(r);
}

TEST(TrimBarPanel, TheRepaintTickFollowsTheBarAndPaintsNothingElse) {
  PreviewRig r(false);
  r.window.show();
  r.SelectFile("/m/clip.avi", 100);
  PreviewRig::WaitFor(nullptr, 50);
  int paints = 0;
  struct Counter : QObject {
    int* count;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++*count;
      return false;
    }
  } counter;
  counter.count = &paints;
  for (QWidget* part : {r.panel->Panel2, r.panel->Splitter1, r.panel->Panel4, r.panel->Splitter2, r.panel->Panel3}) {
    part->installEventFilter(&counter);
  }
  for (int tick = 0; tick < 20; ++tick) {
    EXPECT_FALSE(r.panel->PaintHandles());
    PreviewRig::WaitFor(nullptr, 2);
  }
  EXPECT_EQ(paints, 0);

  // The bar moved by itself (another row shown): once the event loop has
  // nothing more to do, the parts follow, without a tick.
  r.list.SetCell(0, dxtrlSourceFileStartTime, "00:00:50");
  r.bar->RefreshTrimBar();
  PreviewRig::WaitFor(nullptr, 20);
  EXPECT_EQ(r.panel->Splitter1->x(), 111);
  EXPECT_GT(paints, 0);
}

TEST(VideoWindow, TheCursorHidesOverTheVideoAfterThreeSecondsWithoutMovement) {
  PreviewRig r(false);
  r.window.show();
  QCursor::setPos(r.video->mapToGlobal(r.video->rect().center()));
  r.video->ShowLogo(false);
  EXPECT_TRUE(r.video->panLogo->isHidden());
  EXPECT_FALSE(r.video->VideoOutput()->isHidden());
  PreviewRig::WaitFor(nullptr, 2500);
  EXPECT_FALSE(r.video->CursorHidden());
  PreviewRig::WaitFor([&] { return r.video->CursorHidden(); }, 1500);
  EXPECT_EQ(r.video->cursor().shape(), Qt::BlankCursor);

  // A move shows it again, and the count starts anew.
  const QPointF at = r.video->rect().center();
  QMouseEvent move(QEvent::MouseMove, at, r.video->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(r.window.windowHandle(), &move);
  EXPECT_FALSE(r.video->CursorHidden());
  EXPECT_TRUE(PreviewRig::WaitFor([&] { return r.video->CursorHidden(); }, 3500));
  // The logo comes back with the cursor.
  r.video->ShowLogo(true);
  EXPECT_TRUE(r.video->VideoOutput()->isHidden());
  EXPECT_FALSE(r.video->CursorHidden());
}

TEST(PreviewOnRealMedia, PlaysFromTheStartHandleAndPausesAtTheEndMark) {
  PreviewRig r(false);
  r.SelectFile(Media::Path("clip6.mp4"), 6);
  PreviewRig::Drag(r.panel->Splitter1, 110);  // 50 %: 3 s
  PreviewRig::Drag(r.panel->Splitter2, -74);  // R = 75: 67 %, 4 s
  ASSERT_EQ(r.bar->PlayFromSeconds(), 3);
  ASSERT_EQ(r.bar->EndMarkText(), "00:00:04");

  r.player->btnPlayClick();
  EXPECT_EQ(r.loaded, Media::Path("clip6.mp4"));
  EXPECT_TRUE(r.player->IsPlaying());
  EXPECT_FALSE(!r.video->panLogo->isHidden());
  EXPECT_TRUE(r.ScreenSaverHeld);
  // The graph runs before it is moved: a frame from the beginning may show
  // first, then the frames from 3 s on.
  ASSERT_TRUE(PreviewRig::WaitFor([&] { return r.LastFrameUs >= 3'000'000; }, 3000));
  EXPECT_LT(r.LastFrameUs, 3'500'000);

  // The tick that shows 00:00:04 pauses and rewinds to the beginning.
  ASSERT_TRUE(PreviewRig::WaitFor([&] { return !r.player->IsPlaying(); }, 4000));
  EXPECT_EQ(r.Position, "00:00:04");
  EXPECT_EQ(r.loaded, Media::Path("clip6.mp4"));
  EXPECT_LT(r.graph->CurrentPosition(), 500 * 10'000);
  EXPECT_TRUE(PreviewRig::WaitFor([&] { return r.LastFrameUs < 500'000; }, 1000));  // the frame there shows
  EXPECT_FALSE(!r.video->panLogo->isHidden());
  EXPECT_FALSE(r.ScreenSaverHeld);

  // Play resumes from there; Stop unloads.
  r.player->btnPlayClick();
  EXPECT_TRUE(r.player->IsPlaying());
  r.player->btnStopClick();
  EXPECT_EQ(r.loaded, "");
  EXPECT_TRUE(!r.video->panLogo->isHidden());
  EXPECT_FALSE(r.graph->Active());
}

TEST(PreviewOnRealMedia, StopsAtTheEndOfTheFile) {
  PreviewRig r(false);
  r.SelectFile(Media::Path("clip2.mp4"), 2);
  QElapsedTimer playing;
  playing.start();
  r.player->btnPlayClick();
  ASSERT_TRUE(r.player->IsPlaying());
  ASSERT_TRUE(PreviewRig::WaitFor([&] { return r.loaded.empty(); }, 5000));
  // It played the clip through: a busy machine shows fewer of its frames,
  // but none ends a two-second clip sooner.
  EXPECT_GE(playing.elapsed(), 1800);
  EXPECT_FALSE(r.player->IsPlaying());
  EXPECT_EQ(r.Position, "00:00:00");
  EXPECT_TRUE(!r.video->panLogo->isHidden());
  EXPECT_FALSE(r.graph->Active());
  EXPECT_TRUE(r.log.empty());
}

TEST(PreviewOnRealMedia, AFileThatCannotBeRenderedIsOnlyLogged) {
  for (const std::string& path : {Media::Path("noise.avi"), Media::Path("missing.mp4")}) {
    PreviewRig r(false);
    r.SelectFile(path, 5);
    r.player->btnPlayClick();
    EXPECT_EQ(r.log, std::vector<std::string>{"Playing Video error."}) << path;
    EXPECT_EQ(r.loaded, "");
    EXPECT_FALSE(r.player->IsPlaying());
    EXPECT_TRUE(r.graph->Active());
    EXPECT_TRUE(!r.video->panLogo->isHidden());
    EXPECT_EQ(r.FrameCount, 0);
  }
}

// The child made to misbehave (through a variable only it reads) on one
// request: the window ends a silent child after 5 s, tells each failure in
// one line, shows the logo, and the next Play starts a fresh child that plays.
TEST(PreviewChild, AChildThatHangsOrDiesIsReplacedAtTheNextPlay) {
  const struct {
    const char* fault;
    const char* line;
    int notBeforeMs, withinMs;
  } cases[] = {
      {"run:hang", "Playing Video error: the preview did not answer for 5 s and was ended.", 5000, 7000},
      {"run:abort", "Playing Video error: the preview ended with signal 6 (Aborted).", 0, 2000},
      {"open:abort", "Playing Video error.", 0, 0},  // told by the failed open
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    PreviewRig r(false);
    r.SelectFile(Media::Path("clip6.mp4"), 6);
    ::setenv("TARQUEL_PREVIEW_FAULT", c.fault, 1);
    QElapsedTimer clock;
    clock.start();
    r.player->btnPlayClick();
    ::unsetenv("TARQUEL_PREVIEW_FAULT");
    const int child = r.graph->ChildPid();
    ASSERT_TRUE(PreviewRig::WaitFor([&] { return !r.log.empty(); }, c.withinMs + 1000));
    EXPECT_GE(clock.elapsed(), c.notBeforeMs);
    EXPECT_EQ(r.log, std::vector<std::string>{c.line});
    EXPECT_EQ(r.loaded, "");
    EXPECT_FALSE(r.player->IsPlaying());
    EXPECT_TRUE(!r.video->panLogo->isHidden());
    EXPECT_EQ(r.graph->ChildPid(), 0);
    // Ended and reaped: no such process is left.
    EXPECT_TRUE(child == 0 || ::kill(child, 0) != 0);

    r.log.clear();
    r.player->btnPlayClick();
    EXPECT_TRUE(PreviewRig::WaitFor([&] { return r.FrameCount > 0; }, 3000));
    EXPECT_TRUE(r.player->IsPlaying());
    EXPECT_NE(r.graph->ChildPid(), child);
    EXPECT_TRUE(r.log.empty());
  }
}

// A stand-in child (a shell script on the same channel) that misbehaves in
// ways the real one might: the window stays up, tells at most one line and
// never reads a picture the child could not have drawn.
TEST(PreviewChild, AMisbehavingChildNeverTakesTheWindowDown) {
  const std::string answers = R"(echo ready >&3
while read -r line <&3; do
  case "$line" in
    open*) OPEN ;;
    run) RUN ;;
    *) echo ok >&3 ;;
  esac
done
)";
  const struct {
    const char *what, *open, *run, *line;
  } cases[] = {
      {"garbled answer", "echo 'hello there' >&3", "echo ok >&3", "Playing Video error."},
      {"exits while playing", "echo 'opened 6000 0' >&3", "echo ok >&3; exit 3",
       "Playing Video error: the preview ended with exit code 3."},
      {"a line without end", "echo 'opened 6000 0' >&3", "echo ok >&3; head -c 200000 /dev/zero | tr '\\0' x >&3 2>/dev/null",
       "Playing Video error: the preview said something unexpected and was ended."},
      // Cutting the shared block short would make the window fault on it.
      {"shrinks the pictures' memory", "echo 'opened 6000 0' >&3", "echo ok >&3; (: >/proc/self/fd/4) 2>/dev/null; echo frame >&3", ""},
      // A picture far bigger than a slot, at the header's place.
      {"a bogus picture header", "echo 'opened 6000 0' >&3",
       "echo ok >&3; printf '\\002\\0\\0\\0\\001\\0\\0\\0\\377\\377\\0\\0\\377\\377\\0\\0\\004' 1<>/proc/self/fd/4; "
       "echo frame >&3",
       ""},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string script = "#!/bin/sh\n" + answers;
    script.replace(script.find("OPEN"), 4, c.open);
    script.replace(script.find("RUN"), 3, c.run);
    const std::string program = dir.File("stand-in");
    test::WriteFile(program, script);
    ::chmod(program.c_str(), 0755);
    PreviewRig r(false, program);
    r.SelectFile(Media::Path("clip6.mp4"), 6);
    r.player->btnPlayClick();
    PreviewRig::WaitFor([&] { return !r.log.empty(); }, 1500);
    EXPECT_EQ(r.log, *c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{});
    EXPECT_EQ(r.FrameCount, 0);
    if (*c.line) {
      EXPECT_TRUE(!r.video->panLogo->isHidden());
    }
    r.player->btnStopClick();
  }
}

}  // namespace
}  // namespace tarquel
