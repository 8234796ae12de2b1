// TFrmMainForm: the frameless, skinned main window. Its controls are its
// own: the program hears of the user's actions through the signals and the
// callbacks below, and shows its state through the Show calls.
#pragma once

#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QImage;
class QLabel;
class QLineEdit;
class QSizeGrip;

namespace tarquel {
class TTrimBar;
}  // namespace tarquel

namespace tarquel::gui {

class TImageButton;
class TSourceListView;
class TTrimBarPanel;
class TVideoWindow;

class TFrmMainForm : public QWidget {
  Q_OBJECT
 public:
  explicit TFrmMainForm(QWidget* parent = nullptr);
  // Stops following the focus before the controls go.
  ~TFrmMainForm() override;

  // What the program shows. The caption goes to the title bar and the
  // skin's title line; the selectors' rows are replaced, and selecting a
  // row from code is no pick.
  void ShowCaption(const QString& caption);
  void ShowOutputFiletypes(const QStringList& rows, int selected);
  void ShowProfiles(const QStringList& rows, int selected);
  void ShowOutputFolder(const QString& folder);
  void ShowShutdown(bool on);
  void ShowOutputDirectoryWhenDone(bool on);

  // The preview: the logo over the video window, the latest picture (fitted
  // into FrameBox(), in device pixels), the position display, and the trim
  // bar the panel under the video shows.
  void ShowLogo(bool shown);
  void ShowFrame(const QImage& picture);
  QSize FrameBox() const;
  void ShowPosition(const QString& text);
  void ShowTrimBar(TTrimBar* bar);

  // The source list, a view of its own that TSourceFilesUi wires to the core.
  TSourceListView& SourceListView();

  // Run once, right after the window first shows.
  std::function<void()> OnFirstShow;
  // Run when the window closes, before the program ends.
  std::function<void()> OnFormClose;
  // The window's work for F1.
  std::function<void()> OnHelp;
  // Local files dropped on the window.
  std::function<void(const std::vector<std::string>& paths)> OnFilesDropped;

  // What a key press does before the focused control sees it; the key is
  // never consumed. True when it acted.
  bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);

 signals:
  // The user's actions, by click or by key.
  void HomePageClicked();
  void EMailClicked();
  void HelpClicked();
  void AboutClicked();
  void UpdateClicked();
  void CodecLinkClicked();
  void OutputFiletypePicked(int row);
  void ProfilePicked(int row);
  void ShutdownClicked(bool on);
  void ShowOutputDirectoryClicked(bool on);
  // Browse, and Ctrl+B.
  void SelectOutputFolderClicked();
  void OptionsClicked();
  void ConvertClicked();
  void PlayClicked();
  void PauseClicked();
  void StopClicked();
  void AddFilesClicked();
  void RemoveFilesClicked();
  void ClearFilesClicked();
  // Once a second: time to give unused memory back.
  void ClearMemoryTick();
  // The box the preview's pictures are best made to fit changed.
  void FrameBoxChanged(QSize box);

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void changeEvent(QEvent*) override;
  bool focusNextPrevChild(bool next) override;
  void showEvent(QShowEvent*) override;
  void closeEvent(QCloseEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The controls, by the names the program gives them (also their object
  // names, which the Tab order, screen readers and tests go by).
  QLabel* lblTitle;
  TImageButton *btnWindowMinimize, *btnWindowClose;
  TImageButton *btnHomePage, *btnEMail, *btnHelp, *btnAbout, *btnUpdate;
  QLabel *lblOutputFileTypeName, *lblProfileSettings, *lblOutputFolderInfo;
  QComboBox *cbbOutputFiletype, *cbbProfile;
  TImageButton* btnOptions;
  QLineEdit* edtOutputFolder;
  TImageButton *RzBmpButton1, *btnSelectOutputFolder;
  QCheckBox *chkShutdown, *chkShowOutputDirectory;
  QLabel *Label1, *Label2, *Label3;
  TVideoWindow* DSVideoWindowEx1;
  TTrimBarPanel* Panel1;
  TImageButton *btnPlay, *btnPause, *btnStop;
  QLabel* pnlCurTime;
  TSourceListView* dxTreeSourceFileInfo;
  TImageButton *btnOpenFile, *btnRemoveFile, *btnClearFile, *btnConvert;
  QTimer tmrClearMemory, tmrPaintSP;
  // The frameless window grows by its bottom-right corner.
  QSizeGrip* SizeGrip;

  // The controls' signals as the window's own.
  void ForwardSignals();
  void StartMove(QMouseEvent* event);
  // The skin and the window's outline at the window's size, and the
  // controls that follow the grown skin.
  void ApplySkin();
  // The controls whose focus the skin marks (the check boxes, the link).
  bool SkinMarksFocusOf(const QWidget* widget) const;
  QMetaObject::Connection FocusFollower_;
  // Ends a move this window does itself and gives the mouse back.
  void EndMove();

  // The key press the window acted on last, until the event loop runs
  // again: the same press travelling on to the window is not acted on twice.
  struct PreviewedKey {
    const QEvent* event = nullptr;
    int key = 0;
    Qt::KeyboardModifiers modifiers;
    quint64 timestamp = 0;
    bool operator==(const PreviewedKey&) const = default;
  };
  PreviewedKey Previewed_;

  QPixmap Skin_;
  bool Shown_ = false;
  QPoint DragOffset_;
  int QuietPaintTicks_ = 0;
  bool Dragging_ = false;
  bool Label3Pressed_ = false;  // a click on the link has begun
  QSize SkinSize_;
};

}  // namespace tarquel::gui
