#pragma once

#include "RegValue.h"
#include "RegistryHive.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

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
        QFile::setPermissions(Path(QStringLiteral("runtime")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QDir(folder_.path()).mkpath(QStringLiteral("app"));
        qputenv("OSTREL_REGISTRY_ROOT", Path(QStringLiteral("registry")).toUtf8());
        qputenv("XDG_RUNTIME_DIR", Path(QStringLiteral("runtime")).toUtf8());
        qputenv("XDG_CACHE_HOME", Path(QStringLiteral("cache")).toUtf8());
        QApplication::setQuitOnLastWindowClosed(false);
    }

    QString Path(const QString& tail) const { return folder_.filePath(tail); }
    QString AppFolder() const { return Path(QStringLiteral("app")); }

    // AppRuns as a test wants it; nothing removes the value.
    static void SetAppRuns(std::optional<std::uint32_t> value) { SetDword("AppRuns", value); }
    // AppRuns as stored; nothing when it is missing.
    static std::optional<std::uint32_t> AppRuns() { return Dword("AppRuns"); }

    // A DWORD value as stored; nothing when it is missing.
    static std::optional<std::uint32_t> Dword(const char* name)
    {
        if (!LocalMachineHive().Query("Software\\Ostrel", name))
            return std::nullopt;
        return RegValueDword(std::string("Software\\Ostrel\\") + name, 0).Get();
    }
    static void SetDword(const char* name, std::optional<std::uint32_t> value)
    {
        if (!value) {
            LocalMachineHive().Remove("Software\\Ostrel", name);
            return;
        }
        RegValueDword stored(std::string("Software\\Ostrel\\") + name, 0);
        stored.Set(*value);
        stored.Write();
    }

private:
    QTemporaryDir folder_;
};

// Answers every modal box that opens while it lives, as a user would with
// OK, and keeps what each said: a message box's text, the toolkit's
// message box's text, or else the window's title.
class ModalCatcher : public QObject {
public:
    QStringList texts;

    ModalCatcher()
    {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                texts << box->text();
            else if (auto* text = modal->findChild<QLabel*>(QStringLiteral("control1056")))
                texts << text->text();
            else
                texts << modal->windowTitle();
            modal->close();
        });
        timer_.start();
    }

private:
    QTimer timer_;
};

}  // namespace ostrel::test
