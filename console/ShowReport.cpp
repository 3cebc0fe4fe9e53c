#include "ShowReport.h"

#include "CMessageDlg.h"
#include "CReportViewerDlg.h"
#include "Files.h"

#include <QApplication>

namespace ostrel {

void ShowReport(QWidget* parent, const std::string& appFolder, const ReportRequest& request, const Clock& clock)
{
    PeriodFileSource files(appFolder);
    ShowReport(parent, appFolder, files, request, clock);
}

void ShowReport(QWidget* parent, const std::string& appFolder, ReportSource& source, const ReportRequest& request,
                const Clock& clock)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ReportResult<Report> report = source.Fetch(request, clock);
    QApplication::restoreOverrideCursor();
    if (!report) {
        CMessageDlg::Show(QString::fromStdString(report.Error()), parent);
        return;
    }
    if (!report->document.empty() && !ReplaceFile(DisplayReportPath(appFolder), report->document, kDisplayReportMode)) {
        CMessageDlg::Show(QString::fromStdString(std::string(report_message::kCopyFailed)), parent);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    CReportViewerDlg viewer(std::move(*report), LogsFolder(appFolder));
    QApplication::restoreOverrideCursor();
    viewer.exec();
}

}  // namespace ostrel
