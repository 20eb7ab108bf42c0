// The hand-over of sign-in links between starts of the app through the queue file: a later start
// appends its links, the first instance takes them all into its pending links.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace app {

// Appends `link` to the queue file under the AuthQueueLock. The link is dropped when the lock
// cannot be had or the queue is unavailable.
void EnqueueSharedAuthCallback(std::string_view link);

// Empties the queue file under the AuthQueueLock, adds its links to PendingAuthCallbacks and
// returns them in file order. Nothing when the lock cannot be had; the file then stays.
std::vector<std::string> DrainSharedAuthCallbacks();

}  // namespace app
