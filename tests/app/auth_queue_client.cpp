// Test helper: a later start of the app, as far as the queue file goes.
//   auth_queue_client append NAME COUNT SEMAPHORE
//     appends "daviza://NAME/0" up to "daviza://NAME/<COUNT-1>", each after taking one unit of the
//     test's semaphore, so that the test decides how many links may wait in the file at once;
//   auth_queue_client hold
//     takes the queue's lock and ends without releasing it.
#include <windows.h>

#include <string>

#include "app/auth_queue_lock.h"
#include "app/shared_auth_callbacks.h"
#include "common/unique_handle.h"

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"hold") {
    const app::AuthQueueLock lock;
    ExitProcess(lock.obtained() ? 0 : 2);
  }
  if (mode != L"append" || argc != 5) return 1;
  const UniqueHandle credits(OpenSemaphoreW(SYNCHRONIZE, FALSE, argv[4]));
  if (!credits) return 3;
  const std::wstring wide_name = argv[2];
  const std::string name(wide_name.begin(), wide_name.end());  // ASCII names only
  for (int index = 0; index < _wtoi(argv[3]); ++index) {
    if (WaitForSingleObject(credits.get(), 30000) != WAIT_OBJECT_0) return 4;
    app::EnqueueSharedAuthCallback("daviza://" + name + "/" + std::to_string(index));
  }
  return 0;
}
