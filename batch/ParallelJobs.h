#pragma once

#include <cstddef>
#include <functional>

/// Runs work(i) for every i below count on up to jobs threads at once, and
/// calls done(i) on the calling thread as each one finishes, in the order
/// they finish. work must not throw; done may.
void RunInParallel(std::size_t count, unsigned jobs, const std::function<void(std::size_t)>& work,
                   const std::function<void(std::size_t)>& done);
