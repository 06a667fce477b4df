// What each fuzz target does with one input; the regression test replays the
// saved inputs through the same functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace vzrm::fuzz {

// Any bytes as an EVTX file: every event, its system values and its EventData.
void ReadEvtx(std::span<const std::uint8_t> data);
// Any bytes as a classic .evt file: every record, made narrow as the reader gets it.
void ReadEvt(std::span<const std::uint8_t> data);
// Any bytes as a .reg file: parsed into changes (nothing is applied).
void ReadRegFile(std::span<const std::uint8_t> data);
// Any bytes as a framed option value; false when a value read does not frame
// back to the same bytes.
bool ReadFramedValue(std::span<const std::uint8_t> data);
// Any bytes as a message file: a PE file's message table, and the same bytes
// as a .mc text; every message found is then formatted, and expanded as
// parameter references.
void ReadMessages(std::span<const std::uint8_t> data);

// Any bytes as a self-relative security descriptor, from each start offset
// up to 8, as both NTFS drivers and Samba's blobs place it.
void ReadDescriptor(std::span<const std::uint8_t> data);
// Any bytes as Samba's security.NTACL, read to the verdict as the scan does.
void ReadNtacl(std::span<const std::uint8_t> data);

// Any bytes as a reports folder's seal file and, after the first NUL byte,
// its summary: every line parsed, then the folder verified.
void ReadSealedFolder(std::span<const std::uint8_t> data);

// The entry point of the fuzz target `name` ("fuzz_evtx" ...); null when unknown.
using EntryPoint = bool (*)(std::span<const std::uint8_t>);
EntryPoint EntryPointOf(std::string_view name);

}  // namespace vzrm::fuzz
