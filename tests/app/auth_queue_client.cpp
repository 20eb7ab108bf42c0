// Test helper: a later start of the app, as far as the queue file goes.
//   auth_queue_client NAME COUNT SEMAPHORE
//     appends "daviza://NAME/0" up to "daviza://NAME/<COUNT-1>", each after taking a unit of the
//     test's semaphore, so that the test decides how many links may wait in the file at once;
//   auth_queue_client hold
//     takes the queue's lock and ends without releasing it.
#include <windows.h>

#include <string>

#include "app/shared_auth_callbacks.h"

int wmain(int argc, wchar_t** argv) {
  if (argc == 2) {
    const app::AuthQueueLock lock;
    ExitProcess(lock.obtained() ? 0 : 2);
  }
  if (argc != 4) return 1;
  const common::UniqueHandle credits(OpenSemaphoreW(SYNCHRONIZE, FALSE, argv[3]));
  const std::wstring name = argv[1];
  for (int index = 0; index < _wtoi(argv[2]); ++index) {
    if (WaitForSingleObject(credits.get(), 30000) != WAIT_OBJECT_0) return 3;
    app::EnqueueSharedAuthCallback("daviza://" + std::string(name.begin(), name.end()) + "/" +
                                   std::to_string(index));
  }
  return 0;
}
