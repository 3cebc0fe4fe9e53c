// A power cut at every step of recording jobs and editing settings, in the
// manner of crash-consistency checkers: the file layer tells every write,
// cut, create, rename, delete and sync; a model of the disk keeps what is
// on it for sure and what only the page cache holds; at every step it
// builds the images a power cut could leave (unsynced appends dropped or
// cut short, unsynced renames and creations undone), starts a fresh writer
// on each, replays, and checks what must hold.

#include "EventLogWriter.h"
#include "FakeClock.h"
#include "FileEvents.h"
#include "Files.h"
#include "SettingsDocument.h"
#include "ZoneGuard.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <iostream>
#include <optional>
#include <map>
#include <set>

namespace ostrel::test {
namespace {

namespace fs = std::filesystem;

using Inode = std::pair<dev_t, ino_t>;

Inode InodeOf(int fd)
{
    struct stat status {};
    ::fstat(fd, &status);
    return {status.st_dev, status.st_ino};
}

// One step as the model replays it; the inodes are resolved to the model's
// own files while it replays, since the disk reuses inode numbers.
struct Step {
    FileEvent::Kind kind = FileEvent::Kind::Opened;
    Inode folder = {}, toFolder = {}, target = {};
    std::string name = {}, newName = {}, bytes = {};
    std::uint64_t offset = 0, size = 0;
    int returned = -1;  // not a step: this record's Write returned, its durable point passed
};

// Records the steps of the file layer below one folder.
class Recorder final : public FileEventSink {
public:
    void Happened(const FileEvent& e) override
    {
        Step step;
        step.kind = e.kind;
        step.name = e.name;
        step.newName = e.newName;
        switch (e.kind) {
        case FileEvent::Kind::Opened:
            step.folder = InodeOf(e.folder);
            step.target = InodeOf(e.fd);
            break;
        case FileEvent::Kind::MadeFolder: {
            step.folder = InodeOf(e.folder);
            struct stat status {};
            ::fstatat(e.folder, step.name.c_str(), &status, AT_SYMLINK_NOFOLLOW);
            step.target = {status.st_dev, status.st_ino};
            break;
        }
        case FileEvent::Kind::Wrote:
            // One thread writes here: the offset is where this write ended.
            step.target = InodeOf(e.fd);
            step.bytes = e.bytes;
            step.offset = static_cast<std::uint64_t>(::lseek(e.fd, 0, SEEK_CUR)) - e.bytes.size();
            break;
        case FileEvent::Kind::CutTo:
            step.target = InodeOf(e.fd);
            step.size = e.size;
            break;
        case FileEvent::Kind::Renamed:
            step.folder = InodeOf(e.folder);
            step.toFolder = InodeOf(e.toFolder);
            if (step.newName == "settings.xml") {
                const int fd = ::openat(e.toFolder, "settings.xml", O_RDONLY | O_CLOEXEC);
                settingsVersions.insert(ReadAll(fd).value_or(""));
                ::close(fd);
            }
            break;
        case FileEvent::Kind::Removed: step.folder = InodeOf(e.folder); break;
        case FileEvent::Kind::Synced: step.target = InodeOf(e.fd); break;
        }
        entries.push_back(std::move(step));
    }

    std::vector<Step> entries;
    std::set<std::string> settingsVersions;
};

// What the disk holds: files and folders by the model's own numbers, each
// as the page cache has it and as it is on the disk for sure.
class DiskModel {
public:
    struct File {
        bool folder = false;
        std::string current = {}, durable = {};                        // a file's bytes
        std::map<std::string, int> entries = {}, durableEntries = {};  // a folder's names
    };

    // The tree below `root` as it is now, all of it on the disk.
    explicit DiskModel(const fs::path& root)
    {
        root_ = Add(root, true);
        Scan(root, root_);
    }

    void Apply(const Step& s)
    {
        switch (s.kind) {
        case FileEvent::Kind::Opened: {
            File& folder = files_[ids_.at(s.folder)];
            if (!folder.entries.contains(s.name)) {
                ids_[s.target] = next_;
                files_[next_] = File{};
                folder.entries[s.name] = next_++;
            }
            break;
        }
        case FileEvent::Kind::MadeFolder:
            ids_[s.target] = next_;
            files_[next_].folder = true;
            files_[ids_.at(s.folder)].entries[s.name] = next_++;
            break;
        case FileEvent::Kind::Wrote: {
            std::string& bytes = files_[ids_.at(s.target)].current;
            if (bytes.size() < s.offset + s.bytes.size())
                bytes.resize(s.offset + s.bytes.size(), '\0');
            bytes.replace(s.offset, s.bytes.size(), s.bytes);
            break;
        }
        case FileEvent::Kind::CutTo: files_[ids_.at(s.target)].current.resize(s.size, '\0'); break;
        case FileEvent::Kind::Renamed: {
            File& from = files_[ids_.at(s.folder)];
            const int id = from.entries.at(s.name);
            from.entries.erase(s.name);
            files_[ids_.at(s.toFolder)].entries[s.newName] = id;
            break;
        }
        case FileEvent::Kind::Removed: files_[ids_.at(s.folder)].entries.erase(s.name); break;
        case FileEvent::Kind::Synced: {
            File& file = files_[ids_.at(s.target)];
            if (file.folder)
                file.durableEntries = file.entries;
            else
                file.durable = file.current;
            break;
        }
        }
    }

    // A power cut now: `cachedNames` says whether the folders show their
    // entries as the cache has them or as they are on the disk for sure;
    // `bytes` what each file holds.
    using Image = std::map<std::string, std::string>;  // relative path -> bytes; a folder ends in '/'
    using Bytes = std::function<std::string(int id, const File&)>;
    Image Cut(bool cachedNames, const Bytes& bytes) const
    {
        Image image;
        Collect(root_, "", cachedNames, bytes, image);
        return image;
    }

    int IdOf(const Inode& inode) const { return ids_.at(inode); }
    const File& At(int id) const { return files_.at(id); }

private:
    int Add(const fs::path& path, bool folder)
    {
        struct stat status {};
        ::lstat(path.c_str(), &status);
        ids_[{status.st_dev, status.st_ino}] = next_;
        File file;
        file.folder = folder;
        if (!folder)
            file.current = file.durable = ReadFileBytes(path).value_or("");
        files_[next_] = file;
        return next_++;
    }
    void Scan(const fs::path& folder, int id)
    {
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            const int child = Add(entry.path(), entry.is_directory());
            files_[id].entries[entry.path().filename().string()] = child;
            files_[id].durableEntries[entry.path().filename().string()] = child;
            if (entry.is_directory())
                Scan(entry.path(), child);
        }
    }
    void Collect(int id, const std::string& prefix, bool cachedNames, const Bytes& bytes, Image& image) const
    {
        const File& folder = files_.at(id);
        for (const auto& [name, child] : cachedNames ? folder.entries : folder.durableEntries) {
            const File& file = files_.at(child);
            if (file.folder) {
                image[prefix + name + "/"] = {};
                Collect(child, prefix + name + "/", cachedNames, bytes, image);
            } else {
                image[prefix + name] = bytes(child, file);
            }
        }
    }

    std::map<Inode, int> ids_;
    std::map<int, File> files_;
    int root_ = 0;
    int next_ = 0;
};

constexpr int kRecords = 9;
const char* const kUsers[] = {"maria", "john", "li"};

std::string Text(int record)
{
    return "\n<event><day>05</day><month>03</month><year>2026</year><hour>10</hour><min>00</min><doc>report " +
           std::to_string(record) + "</doc><pages>1</pages><cost>5</cost><printer>Laser</printer><user>" +
           kUsers[record % 3] + "</user></event>";
}

std::string Settings(int cost)
{
    return "<log><printers><name>Laser</name><ID>1</ID><cost>" + std::to_string(cost) +
           "</cost><monitored>1</monitored></printers><users></users></log>";
}

class PowerCutTest : public ::testing::Test {
protected:
    void Run(Recorder& recorder)
    {
        ReplaceFile(app_ / "settings.xml", Settings(5));
        recorder.settingsVersions.insert(Settings(5));
        model_.emplace(app_);
        SetFileEventSink(&recorder);
        const auto write = [&](EventLogWriter& writer, int record) {
            writer.Write({Text(record), kUsers[record % 3], "Laser", "fake/Laser", static_cast<std::uint32_t>(record)});
            Step returned;
            returned.returned = record;
            recorder.entries.push_back(returned);
        };
        {
            // A first run of the monitor ends with records not yet settled.
            EventLogWriter writer(app_.string(), clock_);
            writer.Replay();
            for (int record = 0; record < 3; ++record)
                write(writer, record);
        }
        // The next one compacts the journal, and the console edits costs
        // while jobs are recorded; some records are settled on the way.
        EventLogWriter writer(app_.string(), clock_);
        writer.Replay();
        for (int record = 3; record < kRecords; ++record) {
            write(writer, record);
            if (record % 2 == 0)
                SettingsDocument::InFolder(app_.string()).Edit([&](std::string& text) {
                    text.replace(text.find("<cost>") + 6, 1, std::to_string(record % 10));
                    return true;
                });
            if (record == 5)
                clock_.Advance(EventLogWriter::kSettleAfter);
        }
        writer.Settle();
        SetFileEventSink(nullptr);
    }

    // Restarts a writer on `image` and returns what is wrong after its replay.
    std::vector<std::string> Check(const DiskModel::Image& image, const std::set<int>& durable,
                                   const std::set<std::string>& settingsVersions)
    {
        const fs::path folder = images_.Path() / "image";
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (const auto& [path, bytes] : image) {
            if (path.ends_with('/'))
                fs::create_directories(folder / path);
            else
                AppendToFile(folder / path, bytes);
        }
        std::vector<std::string> faults;
        const auto settings = ReadFileBytes(folder / "settings.xml");
        if (!settings || !settingsVersions.contains(*settings))
            faults.push_back("settings.xml is \"" + settings.value_or("<missing>") + "\"");
        {
            EventLogWriter writer(folder.string(), clock_);
            writer.Replay();
        }
        const EventLogWriter names(folder.string(), clock_);
        std::map<fs::path, std::string> logs;
        for (int record = 0; record < kRecords; ++record) {
            std::set<std::size_t> counts;
            for (const fs::path& file : names.PeriodFiles(clock_.Now(), kUsers[record % 3], "Printer_1")) {
                if (!logs.contains(file))
                    logs[file] = ReadFileBytes(file).value_or("");
                std::size_t count = 0;
                for (std::size_t at = logs[file].find(Text(record)); at != std::string::npos;
                     at = logs[file].find(Text(record), at + 1))
                    ++count;
                counts.insert(count);
            }
            if (counts != std::set<std::size_t>{1} && (durable.contains(record) || counts != std::set<std::size_t>{0}))
                faults.push_back("record " + std::to_string(record) + " is in its files " +
                                 std::to_string(*counts.begin()) + " to " + std::to_string(*counts.rbegin()) +
                                 " times");
        }
        // Each log: the head room, then whole records and nothing else.
        for (const auto& [file, bytes] : logs) {
            if (bytes.empty())
                continue;
            std::string rest = bytes.starts_with(std::string(EventLogWriter::kHeadRoom, ' '))
                                   ? bytes.substr(EventLogWriter::kHeadRoom)
                                   : "<no head room>" + bytes;
            for (int record = 0; record < kRecords; ++record)
                for (std::size_t at = rest.find(Text(record)); at != std::string::npos; at = rest.find(Text(record)))
                    rest.erase(at, Text(record).size());
            if (!rest.empty())
                faults.push_back(file.filename().string() + " holds a torn record: \"" + rest + "\"");
        }
        return faults;
    }

    // Images are many and small: memory is the place for them.
    struct Scratch {
        Scratch()
        {
            std::string pattern = ((fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
                                   "ostrel-power-cut-XXXXXX")
                                      .string();
            path = ::mkdtemp(pattern.data());
        }
        ~Scratch() { fs::remove_all(path); }
        fs::path Path() const { return path; }
        fs::path path;
    };

    ZoneGuard zone_{"UTC0"};
    FakeClock clock_{LocalTimePoint(2026, 3, 5, 10, 0)};
    Scratch images_;
    fs::path app_ = images_.Path() / "app";
    std::optional<DiskModel> model_;
};

TEST_F(PowerCutTest, EveryImageAPowerCutCanLeaveReplaysToWholeRecordsAndAWholeSettingsDocument)
{
    fs::create_directories(app_);
    Recorder recorder;
    Run(recorder);

    std::set<std::size_t> checked;  // by the hash of an image
    std::set<int> durable;
    std::map<std::string, std::vector<std::string>> failures;  // fault -> first image that shows it
    const auto check = [&](const DiskModel::Image& image) {
        std::string key;
        for (const auto& [path, bytes] : image)
            key += path + '\0' + bytes + '\0';
        if (!checked.insert(std::hash<std::string>{}(key)).second)
            return;
        for (const std::string& fault : Check(image, durable, recorder.settingsVersions))
            failures.try_emplace(fault, std::vector<std::string>{});
    };
    const DiskModel::Bytes durableOnly = [](int, const DiskModel::File& file) { return file.durable; };
    const DiskModel::Bytes cached = [](int, const DiskModel::File& file) { return file.current; };
    DiskModel& model = *model_;
    for (const Step& step : recorder.entries) {
        if (step.returned >= 0) {
            durable.insert(step.returned);
            continue;
        }
        model.Apply(step);
        for (const bool cachedNames : {false, true}) {
            check(model.Cut(cachedNames, durableOnly));
            check(model.Cut(cachedNames, cached));
            // The append of this step cut short anywhere, each of the others
            // dropped or whole.
            if (step.kind != FileEvent::Kind::Wrote)
                continue;
            const int id = model.IdOf(step.target);
            const DiskModel::File& file = model.At(id);
            if (file.current.size() <= file.durable.size() || !file.current.starts_with(file.durable))
                continue;
            const std::size_t unsynced = file.current.size() - file.durable.size();
            for (const std::size_t cut : {std::size_t(1), unsynced / 2, unsynced - 1})
                for (const DiskModel::Bytes& others : {durableOnly, cached})
                    check(model.Cut(cachedNames, [&](int other, const DiskModel::File& f) {
                        return other == id ? file.current.substr(0, file.durable.size() + cut) : others(other, f);
                    }));
        }
    }
    std::string report;
    for (const auto& [fault, images] : failures)
        report += fault + "\n";
    EXPECT_EQ(report, "") << "in " << checked.size() << " crash images";
    EXPECT_EQ(durable.size(), static_cast<std::size_t>(kRecords));
    std::cout << "[ power cut ] " << checked.size() << " crash images checked after " << recorder.entries.size()
              << " steps\n";
}

}  // namespace
}  // namespace ostrel::test
