#include "ShowReport.h"

#include "CMessageDlg.h"
#include "CReportViewerDlg.h"
#include "Files.h"

#include <QApplication>

namespace ostrel {

void ShowReport(QWidget* parent, const std::string& appFolder, const ReportRequest& request, const Clock& clock)
{
    ReportResult<std::string> document = PrepareReport(appFolder, request, clock);
    if (!document) {
        CMessageDlg::Show(QString::fromStdString(document.Error()), parent);
        return;
    }
    if (!ReplaceFile(DisplayReportPath(appFolder), *document, kDisplayReportMode)) {
        CMessageDlg::Show(QString::fromStdString(std::string(report_message::kCopyFailed)), parent);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    CReportViewerDlg viewer({std::move(*document), LogsFolder(appFolder), request.subject.kind});
    QApplication::restoreOverrideCursor();
    viewer.exec();
}

} // namespace ostrel
