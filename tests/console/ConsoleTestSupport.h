#pragma once

#include "RegValue.h"
#include "RegistryHive.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <optional>

namespace ostrel::test {

// A session of the console's own: registry store, runtime folder (where the
// single-instance socket lives) and cache folder (the help's index) in one
// temporary folder. Build it before anything reads the registry: the store's
// root is read once per process.
class ConsoleSandbox {
public:
    ConsoleSandbox()
    {
        QDir(folder_.path()).mkpath(QStringLiteral("runtime"));
        QFile::setPermissions(Path(QStringLiteral("runtime")), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                     QFileDevice::ExeOwner);
        QDir(folder_.path()).mkpath(QStringLiteral("app"));
        qputenv("OSTREL_REGISTRY_ROOT", Path(QStringLiteral("registry")).toUtf8());
        qputenv("XDG_RUNTIME_DIR", Path(QStringLiteral("runtime")).toUtf8());
        qputenv("XDG_CACHE_HOME", Path(QStringLiteral("cache")).toUtf8());
        QApplication::setQuitOnLastWindowClosed(false);
    }

    QString Path(const QString& tail) const { return folder_.filePath(tail); }
    QString AppFolder() const { return Path(QStringLiteral("app")); }

    // AppRuns as a test wants it; nothing removes the value.
    static void SetAppRuns(std::optional<std::uint32_t> value)
    {
        if (!value) {
            LocalMachineHive().Remove("Software\\Ostrel", "AppRuns");
            return;
        }
        RegValueDword appRuns("Software\\Ostrel\\AppRuns", 0);
        appRuns.Set(*value);
        appRuns.Write();
    }

    // AppRuns as stored; nothing when it is missing.
    static std::optional<std::uint32_t> AppRuns()
    {
        if (!LocalMachineHive().Query("Software\\Ostrel", "AppRuns"))
            return std::nullopt;
        return RegValueDword("Software\\Ostrel\\AppRuns", 0).Get();
    }

private:
    QTemporaryDir folder_;
};

} // namespace ostrel::test
