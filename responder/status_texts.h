#pragma once

namespace quorvane::status_texts {

inline constexpr char kWaitingForRequest[] = "Waiting for Request...";
inline constexpr char kSendingSequence[] = "Sending Sequence...";

}  // namespace quorvane::status_texts
