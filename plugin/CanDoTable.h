#pragma once

namespace varnoke
{
// The answer to effCanDo: 1 yes, -1 no, 0 for anything it doesn't know.
// Compared exactly and case-sensitively.
int answerCanDo(const char* capability) noexcept;
}  // namespace varnoke
