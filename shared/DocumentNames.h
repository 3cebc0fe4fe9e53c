#pragma once

#include "RegistryHive.h"

#include <string_view>

namespace ostrel {

// Whether event records keep the name of the job's document: the registry
// value RecordDocumentNames (REG_DWORD). Absent or 1, they do; any other
// value, and the record's doc holds kUnrecordedDocument instead, in every
// file and mail made from it, for sites whose rules forbid keeping what
// people print. Records already written keep their names.
inline constexpr std::string_view kRecordDocumentNamesValue = "RecordDocumentNames";
inline constexpr std::string_view kUnrecordedDocument = "-";

// The choice as the store holds it now; true when it cannot be read.
bool RecordsDocumentNames(RegistryHive& registry = LocalMachineHive());

// Stores the choice (1 or 0), written whether or not it changed; false
// when the store could not be written.
bool SetRecordsDocumentNames(bool record, RegistryHive& registry = LocalMachineHive());

}  // namespace ostrel
