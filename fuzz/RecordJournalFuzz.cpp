// The monitor's record journal as a killed host, a full disk or a member of
// the administrators' group may leave it: whatever it holds, loading it
// never yields a record that would be written outside its folders, and
// what a load keeps, a second load of the rewritten file keeps the same.

#include "FuzzFolder.h"
#include "FuzzSupport.h"
#include "Files.h"
#include "RecordJournal.h"

#include <string>

using namespace ostrel;

namespace {

bool PlainName(const std::string& name)
{
    return name != "." && name != ".." && name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::filesystem::path file = fuzz::FuzzFolder::Emptied() / "Kestrun.journal";
    FUZZ_CHECK(ReplaceFile(file, fuzz::Text(data, size)));

    RecordJournal journal(file);
    journal.Load();
    for (const PendingRecord& pending : journal.Pending()) {
        FUZZ_CHECK(!journal.Owed(pending.record.queue, pending.record.jobId, 0));
        if (pending.placement) {
            FUZZ_CHECK(pending.placement->sizesBefore.size() == 18);
            FUZZ_CHECK(PlainName(pending.placement->userFolder));
            FUZZ_CHECK(PlainName(pending.placement->printerFolder));
        }
    }
    const std::string kept = journal.Compacted();
    FUZZ_CHECK(ReadFileBytes(file) == kept);

    RecordJournal again(file);
    again.Load();
    FUZZ_CHECK(again.Compacted() == kept);
    return 0;
}
