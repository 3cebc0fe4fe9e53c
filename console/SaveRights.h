#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace ostrel {

// Whether this user's changes can reach the registry store and the
// application folder. Writes that cannot are dropped quietly; so that a
// switch that changes nothing is no mystery, the first change that cannot
// be saved in a run tells the user once, and why. GUI thread only.
class SaveRights {
public:
    // The reason the changes cannot be saved, or nothing when they can.
    using Probe = std::function<std::optional<QString>()>;

    // Without a probe, the store's key folder and the application folder
    // are checked.
    explicit SaveRights(std::string appFolder, Probe probe = {});

    // Call before a change; the change goes ahead either way.
    void BeforeChange(QWidget* parent);

    std::optional<QString> Denial() const { return probe_(); }

    // The check of the registry store and the application folder.
    static std::optional<QString> CheckFolders(const std::string& appFolder);

private:
    Probe probe_;
    bool told_ = false;
};

}  // namespace ostrel
