#include "DocumentNames.h"

#include "RegValue.h"

#include <string>

namespace ostrel {
namespace {

const std::string kPath = "Software\\Ostrel\\" + std::string(kRecordDocumentNamesValue);

}  // namespace

bool RecordsDocumentNames(RegistryHive& registry)
{
    return RegValueDword(kPath, 1, false, registry).Get() == 1;
}

bool SetRecordsDocumentNames(bool record, RegistryHive& registry)
{
    RegValueDword value(kPath, 1, false, registry);
    value.Set(record ? 1 : 0);
    value.Write();
    return value.Valid() && RegValueDword(kPath, 1, false, registry).Get() == (record ? 1u : 0u);
}

}  // namespace ostrel
