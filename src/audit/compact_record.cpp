#include "audit/compact_record.h"

namespace vzrm {

static_assert(sizeof(CompactRecord) == 48, "a kept record costs 48 bytes");

CompactRecord Compact(const AUDIT_RECORD& record, CTextPool& texts) {
    CompactRecord compact;
    compact.time = record.time;
    compact.recordNumber = record.recordNumber;
    compact.user = texts.Intern(record.user);
    compact.computer = texts.Intern(record.computer);
    compact.objectName = texts.Intern(record.objectName);
    compact.processName = texts.Intern(record.processName);
    compact.handleId = record.handleId;
    compact.processId = record.processId;
    compact.eventId = record.eventId;
    compact.action = record.action;
    return compact;
}

void Expand(const CompactRecord& record, const CTextPool& texts, AUDIT_RECORD& out) {
    out.user = texts.Text(record.user);
    out.computer = texts.Text(record.computer);
    out.objectName = texts.Text(record.objectName);
    out.handleId = record.handleId;
    out.processId = record.processId;
    out.processName = texts.Text(record.processName);
    out.time = record.time;
    out.eventId = record.eventId;
    out.recordNumber = record.recordNumber;
    out.action = record.action;
}

}  // namespace vzrm
