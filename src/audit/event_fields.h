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

// The fields a record takes from its event's text, in this order.
enum EventField : std::size_t {
    kFieldAccountName,
    kFieldHandleId,
    kFieldProcessId,
    kFieldObjectName,
    kFieldProcessName,  // Image File Name in classic events
    kFieldAccessMask,
    kEventFieldCount
};
// Their labels in classic or in modern events.
std::span<const std::string_view> EventFieldLabels(bool classicLog);

// The rest of the line after the first occurrence of `label`, trimmed; empty
// when the label is absent.
std::string GetEventTextField(std::string_view text, std::string_view label);
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
