#pragma once

#include <stdexcept>

namespace varnoke::render
{
// Why a run of varnoke-render cannot go on: the one line it prints on
// standard error before it ends with a non-zero status. Every failure in the
// render code is reported by throwing one.
class RenderError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
}  // namespace varnoke::render
