#include "SourceFilesUi.h"

#include "InitFileForm.h"
#include "QtOpenFileDialog.h"
#include "SourceListModel.h"
#include "SourceListView.h"
#include "TimeCellDelegate.h"
#include "UnitCustomProc.h"
#include "Unit_Convert.h"

namespace tarquel::gui {

TSourceFilesUi::TSourceFilesUi(TFrmMainForm& form, TCustomProc& proc, TServices services)
    : Form_(form),
      Proc_(proc),
      Services_(std::move(services)),
      Model_(std::make_unique<TSourceListModel>(proc.SourceList)),
      InitFileForm_(std::make_unique<TFrmInitFileForm>(&form)) {
  if (!Services_.OpenDialog) {
    OwnDialog_ = std::make_unique<TQtOpenFileDialog>(&form);
    Services_.OpenDialog = OwnDialog_.get();
  }
  TSourceListView& list = form.SourceListView();
  list.SetSourceModel(Model_.get());

  TSourceListEvents& events = proc.SourceEvents;
  connect(&form, &TFrmMainForm::AddFilesClicked, this, [this] { btnOpenFileClick(); });
  connect(&form, &TFrmMainForm::RemoveFilesClicked, this, [&events] { events.btnRemoveFileClick(); });
  connect(&form, &TFrmMainForm::ClearFilesClicked, this, [&events] { events.btnClearFileClick(); });
  list.OnKeyDown = [&events](bool deleteKey) { events.dxTreeSourceFileInfoKeyDown(deleteKey); };
  list.OnClick = [&proc] { proc.TrimBar.RefreshTrimBar(); };
  // The end of an edit brings the row's times back into line, and the
  // handles to them.
  auto* times = new TTimeCellDelegate(&list, [&proc] {
    proc.TrimBar.dxTreeSourceFileInfoEdited();
    proc.TrimBar.ShowEditedTimes();
  });
  list.setItemDelegateForColumn(dxtrlSourceFileStartTime, times);
  list.setItemDelegateForColumn(dxtrlSourceFileEndTime, times);
  list.OnEndDrag = [&events](bool endedOnList) { events.dxTreeSourceFileInfoEndDrag(endedOnList); };
  list.OnFilesDropped = [this](const std::vector<std::string>& paths) { AddDroppedFiles(paths); };
  form.OnFilesDropped = list.OnFilesDropped;
}

TSourceFilesUi::~TSourceFilesUi() = default;

void TSourceFilesUi::AddFiles(const std::vector<std::string>& paths) {
  AddSourceFiles(Proc_.SourceList, paths,
                 {Services_.MakeProbeGraph, Services_.ShowCodeErrorForm, Services_.ReportSkipped,
                  [this] { Proc_.TrimBar.RefreshTrimBar(); }});
}

void TSourceFilesUi::AddDroppedFiles(const std::vector<std::string>& paths) { AddFiles(paths); }

void TSourceFilesUi::StoreDialogFolder() { Proc_.UserSettings.WriteInitDir(Services_.OpenDialog->FileName()); }

void TSourceFilesUi::btnOpenFileClick() {
  const std::string folder = Proc_.UserSettings.ReadInitDir();
  std::vector<std::string> files = PickSourceFiles(*Services_.OpenDialog, true, folder);
  // The busy window shows even after a cancel, and then adds nothing.
  InitFileForm_->SetFileList(std::move(files), [this](const std::vector<std::string>& chosen) {
    AddFiles(chosen);
    StoreDialogFolder();
  });
  InitFileForm_->Execute();
  StoreDialogFolder();
}

}  // namespace tarquel::gui
