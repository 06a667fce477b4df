// Reading audit events: fields from the message text, numbers, the kind of access.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "audit/audit_record.h"

namespace vzrm {

// Labels of the message texts, with their leading tab.
inline constexpr std::string_view kLabelAccountName = "\tAccount Name:";
inline constexpr std::string_view kLabelHandleId = "\tHandle ID:";
inline constexpr std::string_view kLabelProcessId = "\tProcess ID:";
inline constexpr std::string_view kLabelObjectName = "\tObject Name:";
inline constexpr std::string_view kLabelProcessName = "\tProcess Name:";
inline constexpr std::string_view kLabelImageFileName = "\tImage File Name:";
inline constexpr std::string_view kLabelAccessMask = "\tAccess Mask:";

// The rest of the line after the first occurrence of `label`, trimmed; empty
// when the label is absent.
std::string GetEventTextField(std::string_view text, std::string_view label);
// GetEventTextField for several labels (each starting with its tab) in one
// pass over the text; the values point into `text`.
void GetEventTextFields(std::string_view text, std::span<const std::string_view> labels,
                        std::span<std::string_view> values);
// "0x50" and "0x0000000000000050" read as hexadecimal, anything else as decimal.
std::uint32_t ParseEventNumber(std::string_view text);
// The access an event stands for; ACTION_NONE for events that are not accesses.
AUDIT_ACTION ClassifyAuditEvent(std::string_view text, std::uint32_t eventId, bool classicLog);
// The same from the event's Access Mask field alone.
AUDIT_ACTION ClassifyAuditAccess(std::string_view accessMask, std::uint32_t eventId,
                                 bool classicLog);
// True for the four recorder programs, by the file-name part of the path.
bool IsRecorderProgram(std::string_view path);

}  // namespace vzrm
