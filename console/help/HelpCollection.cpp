#include "HelpCollection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHelpEngineCore>
#include <QStandardPaths>

namespace ostrel {

HelpFiles HelpFiles::InApplicationFolder(const QString& appFolder)
{
    return {appFolder + QStringLiteral("/Ostrel.qch"), appFolder + QStringLiteral("/Ostrel.qhc")};
}

HelpFiles HelpFiles::Installed()
{
    return InApplicationFolder(QCoreApplication::applicationDirPath() + QStringLiteral("/" OSTREL_PROGRAM_TO_HELP));
}

QString HelpTopicUrl(const QString& file)
{
    return QStringLiteral("qthelp://%1/ostrel/%2").arg(QLatin1String(kHelpNamespace), file);
}

QString IntroductionTopicUrl()
{
    return HelpTopicUrl(QStringLiteral("1_0_Introduction.htm"));
}

std::optional<OpenableCollection> PrepareCollection(const HelpFiles& files)
{
    const QFileInfo documentation(files.documentation);
    if (!documentation.isFile() || QHelpEngineCore::namespaceName(files.documentation) != QLatin1String(kHelpNamespace))
        return std::nullopt;

    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Quillmere/help");
    if (QDir().mkpath(folder)) {
        const QString collection = folder + QStringLiteral("/Ostrel.qhc");
        QHelpEngineCore core(collection);
        core.setReadOnly(false);
        if (core.setupData()) {
            const QString wanted = documentation.canonicalFilePath();
            const QString registered = core.documentationFileName(QLatin1String(kHelpNamespace));
            if (QFileInfo(registered).canonicalFilePath() != wanted) {
                core.unregisterDocumentation(QLatin1String(kHelpNamespace));
                core.registerDocumentation(wanted);
            }
            if (QFileInfo(core.documentationFileName(QLatin1String(kHelpNamespace))).canonicalFilePath() == wanted)
                return OpenableCollection{collection, false};
        }
    }
    if (QFileInfo(files.collection).isFile())
        return OpenableCollection{files.collection, true};
    return std::nullopt;
}

}  // namespace ostrel
