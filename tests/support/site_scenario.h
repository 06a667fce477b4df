// One morning at the records site as the test log writers take it (JSON
// Lines): a log-on, case12.zrm opened, written and closed, old.zrm opened
// for deletion and deleted.
#pragma once

namespace vzrm::test {

inline constexpr char kScenario[] = R"({"id":4624,"time":"2026-03-14T08:05:30Z"}
{"id":4656,"time":"2026-03-14T08:05:33Z","handle":"0x1a4","object":"D:\\Records\\case12.zrm","mask":"0x120089"}
{"id":4663,"time":"2026-03-14T08:05:33Z","handle":"0x1a4","object":"D:\\Records\\case12.zrm","mask":2}
{"id":4658,"time":"2026-03-14T08:05:35Z","handle":"0x1a4"}
{"id":4656,"time":"2026-03-14T08:05:37Z","handle":"0x1b4","object":"D:\\Records\\old.zrm","mask":"0x10000"}
{"id":4660,"time":"2026-03-14T08:05:37Z","handle":"0x1b4"}
{"id":4658,"time":"2026-03-14T08:05:37Z","handle":"0x1b4"}
)";

}  // namespace vzrm::test
