// Pending copies: the copy that the versioned copy writes beside its target
// and then renames over it, the copies that a run prepares before it removes
// anything, and the leftovers of interrupted runs; with the steps that the
// versioned copy and the prepared copies share.
#pragma once

#include <cstdint>
#include <string>

#include "deploy/deploy.h"

namespace qsetup {

// Longest source or target path: they live in 520-byte buffers elsewhere in
// the installer, and a path is never cut to fit.
inline constexpr std::size_t kPathMax = 519;

// The copy that is made beside a target before it replaces it is named
// after the target, this suffix and the process id, so that runs at the same
// time never share one.
inline constexpr char kPendingSuffix[] = ".~qln2";

std::string PendingName(const std::string& target, std::uint32_t process_id);

// Removes a file even when it is read-only, hidden or system.
void Discard(DeployOs& os, const std::string& path);

// Writes a copy of `source` beside `target`, on the disk, under the pending
// name of this run, once the pending copies that interrupted runs left there
// are gone. Returns the Windows error of the step that failed, with nothing
// left beside the target.
WinError PutBeside(DeployOs& os, const std::string& source, const std::string& target);

// Puts the copy prepared beside `target` on the run's list (`ctx.prepared`),
// where the versioned copy of `target` takes it.
void KeepPrepared(const DeployContext& ctx, const std::string& target);

// A source whose new file this run left waiting for the next start of
// Windows (a staged file in use) is copied from the copy that waits: what
// that start makes of it. Turns `source` into that copy's path.
void TakeWaitingCopy(const DeployContext& ctx, std::string& source);

// A failed copy: kept as the run's first, unless an earlier one failed.
// Returns kCopyFailed.
int Failed(const DeployContext& ctx, const std::string& source, const std::string& target,
           WinError error);

}  // namespace qsetup
