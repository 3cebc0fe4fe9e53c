#include "RecordJournal.h"

#include "Files.h"
#include "NumberText.h"
#include "SafeFolder.h"

#include <fcntl.h>

#include <algorithm>
#include <charconv>

namespace ostrel {
namespace {

constexpr std::int64_t kFirstRewrite = 1024 * 1024;
constexpr std::size_t kPeriodFiles = 18;

// Fields are separated by tabs, lines by newlines; both, and the escape
// itself, are escaped inside a field.
std::string Escaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c; break;
        }
    }
    return out;
}

std::optional<std::string> Unescaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case '\\': out += '\\'; break;
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return std::nullopt;
        }
    }
    return out;
}

std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos)
            return fields;
        line.remove_prefix(tab + 1);
    }
}

// A folder name as the writer makes them: one component that stays where
// it is put. An empty one stands for the parent folder itself.
bool PlainFolderName(std::string_view name)
{
    return name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

std::string Line(std::initializer_list<std::string> fields)
{
    std::string line;
    for (const std::string& field : fields) {
        if (!line.empty())
            line += '\t';
        line += field;
    }
    return line;
}

std::string TakeLine(const PendingRecord& pending)
{
    const EventRecord& r = pending.record;
    return Line({"R", std::to_string(pending.sequence), std::to_string(pending.takenAt), Escaped(r.queue),
                 std::to_string(r.jobId), Escaped(r.user), Escaped(r.printer), Escaped(r.text)});
}

// The record just taken (its R line comes first) is owed to the central store.
std::string OweLine(const OwedRecord& owed)
{
    return Line({"Q", std::to_string(owed.sequence), std::to_string(owed.record.submittedAt)});
}

// An owed record that is in its files already, as a rewrite keeps it.
std::string KeptOwedLine(const OwedRecord& owed)
{
    const EventRecord& r = owed.record;
    return Line({"G", std::to_string(owed.sequence), std::to_string(owed.takenAt), Escaped(r.queue),
                 std::to_string(r.jobId), Escaped(r.user), Escaped(r.printer), Escaped(r.text),
                 std::to_string(r.submittedAt)});
}

std::string PlaceLine(std::uint64_t sequence, const RecordPlacement& placement)
{
    std::string sizes;
    for (std::int64_t size : placement.sizesBefore)
        sizes += (sizes.empty() ? "" : ",") + std::to_string(size);
    return Line({"A", std::to_string(sequence), std::to_string(placement.writtenAt), Escaped(placement.userFolder),
                 Escaped(placement.printerFolder), sizes});
}

std::optional<RecordPlacement> ReadPlacement(const std::vector<std::string_view>& f)
{
    if (f.size() != 6)
        return std::nullopt;
    RecordPlacement placement;
    const auto at = NumberIn<std::int64_t>(f[2]);
    const auto user = Unescaped(f[3]);
    const auto printer = Unescaped(f[4]);
    if (!at || !user || !printer || !PlainFolderName(*user) || !PlainFolderName(*printer))
        return std::nullopt;
    placement.writtenAt = *at;
    placement.userFolder = *user;
    placement.printerFolder = *printer;
    std::string_view sizes = f[5];
    while (placement.sizesBefore.size() < kPeriodFiles) {
        const size_t comma = sizes.find(',');
        const auto size = NumberIn<std::int64_t>(sizes.substr(0, comma));
        if (!size || *size < -1)
            return std::nullopt;
        placement.sizesBefore.push_back(*size);
        if (comma == std::string_view::npos)
            break;
        sizes.remove_prefix(comma + 1);
    }
    if (placement.sizesBefore.size() != kPeriodFiles || sizes.find(',') != std::string_view::npos)
        return std::nullopt;
    return placement;
}

}  // namespace

RecordJournal::RecordJournal(std::filesystem::path file) : file_(std::move(file)) {}

void RecordJournal::Load()
{
    pending_.clear();
    queues_.clear();
    owed_.clear();
    const Safe<SafeFolder> folder = SafeFolder::Open(file_.parent_path());
    const std::string bytes = folder ? folder.value.ReadFile(file_.filename().string()).value : std::string();
    std::string_view rest = bytes;
    // A last line without its newline was cut short: ignored.
    for (size_t end = rest.find('\n'); end != std::string_view::npos; end = rest.find('\n')) {
        Apply(rest.substr(0, end));
        rest.remove_prefix(end + 1);
    }
    Rewrite();
}

void RecordJournal::Apply(std::string_view line)
{
    const std::vector<std::string_view> f = Fields(line);
    const std::string_view kind = f[0];
    if (kind == "R" && f.size() == 8) {
        const auto sequence = NumberIn<std::uint64_t>(f[1]);
        const auto takenAt = NumberIn<std::int64_t>(f[2]);
        const auto queue = Unescaped(f[3]);
        const auto jobId = NumberIn<std::uint32_t>(f[4]);
        const auto user = Unescaped(f[5]);
        const auto printer = Unescaped(f[6]);
        const auto text = Unescaped(f[7]);
        if (!sequence || !takenAt || !queue || !jobId || !user || !printer || !text)
            return;
        pending_.push_back({*sequence, {*text, *user, *printer, *queue, *jobId}, *takenAt, std::nullopt});
        nextSequence_ = std::max(nextSequence_, *sequence + 1);
    } else if ((kind == "A" || kind == "D") && f.size() >= 2) {
        const auto sequence = NumberIn<std::uint64_t>(f[1]);
        auto found = std::find_if(pending_.begin(), pending_.end(),
                                  [&](const PendingRecord& p) { return sequence && p.sequence == *sequence; });
        if (found == pending_.end())
            return;
        if (kind == "A") {
            found->placement = ReadPlacement(f);
        } else {
            Remember(found->record.queue, found->record.jobId, found->takenAt);
            pending_.erase(found);
        }
    } else if (kind == "K" && f.size() == 4) {
        const auto queue = Unescaped(f[1]);
        const auto jobId = NumberIn<std::uint32_t>(f[2]);
        const auto at = NumberIn<std::int64_t>(f[3]);
        if (queue && jobId && at)
            Remember(*queue, *jobId, *at);
    } else if (kind == "S" && f.size() == 3) {
        const auto queue = Unescaped(f[1]);
        const auto since = NumberIn<std::int64_t>(f[2]);
        if (queue && since)
            queues_[*queue].since = *since;
    } else if (kind == "O" && f.size() == 1) {
        for (auto& [name, queue] : queues_)
            queue.since.reset();
    } else if (kind == "Q" && f.size() == 3) {
        const auto sequence = NumberIn<std::uint64_t>(f[1]);
        const auto submittedAt = NumberIn<std::int64_t>(f[2]);
        auto found = std::find_if(pending_.begin(), pending_.end(),
                                  [&](const PendingRecord& p) { return sequence && p.sequence == *sequence; });
        if (found == pending_.end() || !submittedAt)
            return;
        OwedRecord owed{found->sequence, found->record, found->takenAt};
        owed.record.submittedAt = *submittedAt;
        owed_[owed.sequence] = std::move(owed);
    } else if (kind == "G" && f.size() == 9) {
        const auto sequence = NumberIn<std::uint64_t>(f[1]);
        const auto takenAt = NumberIn<std::int64_t>(f[2]);
        const auto queue = Unescaped(f[3]);
        const auto jobId = NumberIn<std::uint32_t>(f[4]);
        const auto user = Unescaped(f[5]);
        const auto printer = Unescaped(f[6]);
        const auto text = Unescaped(f[7]);
        const auto submittedAt = NumberIn<std::int64_t>(f[8]);
        if (!sequence || !takenAt || !queue || !jobId || !user || !printer || !text || !submittedAt)
            return;
        owed_[*sequence] = {*sequence, {*text, *user, *printer, *queue, *jobId, *submittedAt}, *takenAt};
        nextSequence_ = std::max(nextSequence_, *sequence + 1);
    } else if (kind == "F" && f.size() == 2) {
        if (const auto upTo = NumberIn<std::uint64_t>(f[1]))
            owed_.erase(owed_.begin(), owed_.upper_bound(*upTo));
    } else if (kind == "N" && f.size() == 2) {
        if (const auto next = NumberIn<std::uint64_t>(f[1]))
            nextSequence_ = std::max(nextSequence_, *next);
    }
}

void RecordJournal::Remember(const std::string& queue, std::uint32_t jobId, std::int64_t at)
{
    if (queue.empty() || jobId == 0)
        return;
    Queue& q = queues_[queue];
    if (q.recordedAt.contains(jobId)) {
        // A reprinted job: its newest record counts.
        q.recordedAt[jobId] = std::max(q.recordedAt[jobId], at);
        return;
    }
    q.recent.emplace_back(jobId, at);
    q.recordedAt[jobId] = at;
    if (q.recent.size() > kRememberedPerQueue) {
        q.recordedAt.erase(q.recent.front().first);
        q.recent.pop_front();
    }
}

std::uint64_t RecordJournal::Take(const EventRecord& record, std::int64_t now)
{
    pending_.push_back({nextSequence_++, record, now, std::nullopt});
    Write(TakeLine(pending_.back()) + OweLineIfOwed(pending_.back()));
    return pending_.back().sequence;
}

std::string RecordJournal::OweLineIfOwed(const PendingRecord& pending)
{
    if (!owe_)
        return {};
    const OwedRecord& owed = owed_[pending.sequence] = {pending.sequence, pending.record, pending.takenAt};
    return "\n" + OweLine(owed);
}

void RecordJournal::Place(std::uint64_t sequence, const RecordPlacement& placement)
{
    for (PendingRecord& pending : pending_)
        if (pending.sequence == sequence)
            pending.placement = placement;
    Write(PlaceLine(sequence, placement));
}

std::uint64_t RecordJournal::TakePlaced(const EventRecord& record, std::int64_t now, const RecordPlacement& placement)
{
    pending_.push_back({nextSequence_++, record, now, placement});
    Write(TakeLine(pending_.back()) + OweLineIfOwed(pending_.back()) + "\n" +
          PlaceLine(pending_.back().sequence, placement));
    return pending_.back().sequence;
}

std::optional<PendingRecord> RecordJournal::Find(std::uint64_t sequence) const
{
    for (const PendingRecord& pending : pending_)
        if (pending.sequence == sequence)
            return pending;
    return std::nullopt;
}

void RecordJournal::Done(std::uint64_t sequence)
{
    auto found =
        std::find_if(pending_.begin(), pending_.end(), [&](const PendingRecord& p) { return p.sequence == sequence; });
    if (found == pending_.end())
        return;
    Remember(found->record.queue, found->record.jobId, found->takenAt);
    pending_.erase(found);
    Write(Line({"D", std::to_string(sequence)}));
}

std::int64_t RecordJournal::WatchedSince(const std::string& queue, std::int64_t now)
{
    Queue& q = queues_[queue];
    if (!q.since) {
        q.since = now;
        Write(Line({"S", Escaped(queue), std::to_string(now)}));
    }
    return *q.since;
}

void RecordJournal::ForgetWatching()
{
    for (auto& [name, queue] : queues_)
        queue.since.reset();
    Write("O");
}

bool RecordJournal::Recorded(const std::string& queue, std::uint32_t jobId, std::int64_t endedAt) const
{
    // Taken on before it ended can only mean it was printed once more.
    for (const PendingRecord& pending : pending_)
        if (pending.record.jobId == jobId && pending.record.queue == queue &&
            pending.takenAt >= endedAt - kClockSlackSeconds)
            return true;
    const auto found = queues_.find(queue);
    if (found == queues_.end())
        return false;
    const auto recorded = found->second.recordedAt.find(jobId);
    return recorded != found->second.recordedAt.end() && recorded->second >= endedAt - kClockSlackSeconds;
}

bool RecordJournal::Owed(const std::string& queue, std::uint32_t jobId, std::int64_t endedAt) const
{
    // A job still pending is being written, whenever it ended.
    for (const PendingRecord& pending : pending_)
        if (pending.record.jobId == jobId && pending.record.queue == queue)
            return false;
    if (Recorded(queue, jobId, endedAt))
        return false;
    const auto found = queues_.find(queue);
    if (found == queues_.end() || !found->second.since || endedAt < *found->second.since - kClockSlackSeconds)
        return false;
    const Queue& q = found->second;
    if (q.recordedAt.contains(jobId))
        return true;  // printed once more
    // Older than everything remembered: recorded and since forgotten.
    if (q.recent.size() >= kRememberedPerQueue && endedAt < q.recent.front().second - kClockSlackSeconds)
        return false;
    return true;
}

std::vector<OwedRecord> RecordJournal::OwedRecords(std::size_t limit) const
{
    std::vector<OwedRecord> records;
    for (auto it = owed_.begin(); it != owed_.end() && records.size() < limit; ++it)
        records.push_back(it->second);
    return records;
}

std::optional<std::int64_t> RecordJournal::OldestOwed() const
{
    if (owed_.empty())
        return std::nullopt;
    return owed_.begin()->second.takenAt;
}

void RecordJournal::NumberPast(std::uint64_t sequence)
{
    if (sequence < nextSequence_)
        return;
    nextSequence_ = sequence + 1;
    Write(Line({"N", std::to_string(nextSequence_)}));
}

void RecordJournal::Forwarded(std::uint64_t upTo)
{
    owed_.erase(owed_.begin(), owed_.upper_bound(upTo));
    Write(Line({"F", std::to_string(upTo)}));
}

std::string RecordJournal::Compacted() const
{
    // The numbering goes on where it was, even when no record is left: the
    // central store knows a record by its number.
    std::string text = Line({"N", std::to_string(nextSequence_)}) + "\n";
    for (const auto& [name, queue] : queues_) {
        for (const auto& [id, at] : queue.recent)
            text += Line({"K", Escaped(name), std::to_string(id), std::to_string(queue.recordedAt.at(id))}) + "\n";
        if (queue.since)
            text += Line({"S", Escaped(name), std::to_string(*queue.since)}) + "\n";
    }
    for (const PendingRecord& pending : pending_) {
        text += TakeLine(pending) + "\n";
        if (const auto owed = owed_.find(pending.sequence); owed != owed_.end())
            text += OweLine(owed->second) + "\n";
        if (pending.placement)
            text += PlaceLine(pending.sequence, *pending.placement) + "\n";
    }
    // Owed records already in their files: the rewrite must not lose them.
    for (const auto& [sequence, owed] : owed_) {
        if (!Find(sequence))
            text += KeptOwedLine(owed) + "\n";
    }
    return text;
}

void RecordJournal::Open()
{
    const Safe<SafeFolder> folder = SafeFolder::Open(file_.parent_path());
    if (!folder)
        return;
    Safe<FileDescriptor> file =
        folder.value.OpenFile(file_.filename().string(), O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK, 0600);
    const std::optional<std::uint64_t> size = file ? FileSize(file.value.Get()) : std::nullopt;
    if (!size)
        return;
    // A journal made just now must keep its name through a power cut.
    if (*size == 0)
        SyncAll(folder.value.Descriptor());
    std::lock_guard lock(syncLock_);
    out_ = std::make_shared<const FileDescriptor>(std::move(file.value));
    written_ = static_cast<std::int64_t>(*size);
}

void RecordJournal::Write(const std::string& line)
{
    if (!out_)
        Open();
    std::size_t went = 0;
    healthy_ = out_ && WriteAll(out_->Get(), line + "\n", &went);
    if (!healthy_) {
        // A line cut short would swallow the next one: take it back.
        if (went)
            TruncateTo(out_->Get(), static_cast<std::uint64_t>(written_));
        return;
    }
    written_ += static_cast<std::int64_t>(line.size()) + 1;
    lines_ += static_cast<std::uint64_t>(std::count(line.begin(), line.end(), '\n')) + 1;
    if (written_ >= rewriteAt_)
        Rewrite();
}

bool RecordJournal::SyncThrough(std::uint64_t mark)
{
    std::unique_lock lock(syncLock_);
    while (synced_ < mark) {
        if (syncing_) {
            syncDone_.wait(lock);
            continue;
        }
        // Every line written by now goes with this sync.
        syncing_ = true;
        const std::uint64_t target = lines_.load();
        const std::shared_ptr<const FileDescriptor> file = out_;
        lock.unlock();
        const bool synced = file && SyncData(file->Get());
        lock.lock();
        syncing_ = false;
        if (synced)
            synced_ = std::max(synced_, target);
        syncDone_.notify_all();
        if (!synced)
            return false;
    }
    return true;
}

void RecordJournal::Rewrite()
{
    // Only what is settled is dropped, and the replace is on the disk before
    // the lines it drops are gone: nothing durable is lost to it.
    const std::string text = Compacted();
    const std::uint64_t lines = lines_.load();
    const Safe<SafeFolder> folder = SafeFolder::Open(file_.parent_path());
    if (folder && folder.value.Replace(file_.filename().string(), text, 0600, ReplaceMode::Exactly) == SafeStatus::Ok) {
        {
            std::lock_guard lock(syncLock_);
            out_.reset();
            synced_ = std::max(synced_, lines);
        }
        Open();
    }
    rewriteAt_ = std::max(2 * written_, written_ + kFirstRewrite);
}

}  // namespace ostrel
