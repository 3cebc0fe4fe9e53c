#pragma once

#include <QString>

#include <optional>

namespace ostrel {

// The help as the application folder holds it: the compiled documentation
// Ostrel.qch and the collection Ostrel.qhc built beside it.
struct HelpFiles {
    QString documentation;
    QString collection;

    static HelpFiles InApplicationFolder(const QString& appFolder);
    // The help installed with the program, which ostrel-setup copies into
    // the application folder: for those who may not enter that folder.
    static HelpFiles Installed();
};

// The namespace and start topic of Ostrel's help.
inline constexpr const char* kHelpNamespace = "org.ostrel.help";
QString HelpTopicUrl(const QString& file);
QString IntroductionTopicUrl();

// The collection the help window opens: a copy of the user's own under the
// cache folder that registers the application folder's documentation, so
// that the search index can be written whoever runs the console. Where no
// such copy can be made, the application folder's collection, which the
// window then only reads. Nothing when the documentation is missing or is
// not Ostrel's.
struct OpenableCollection {
    QString file;
    bool readOnly = false;
};
std::optional<OpenableCollection> PrepareCollection(const HelpFiles& files);

}  // namespace ostrel
