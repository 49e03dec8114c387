#pragma once

// Shared pieces of the extraction workers: the run state, completion, the
// progress-window questions and the decryption-code prompt.

#include "common/records.h"

#include <string>

// One extraction run: the request plus what the preparation made for it.
struct ExtractRun {
    _EXTRACT *request = nullptr;
    _RENAMEINFO *renameRecord = nullptr; // prepared for "rename" overwrite mode
    bool libraryEntries = false;         // the run read the catalogues itself
    char shownName[260] = {};            // name handed to the progress window
};

// True when the user asked the progress window to cancel.
bool userCancelled(const _EXTRACT *request);
// Posts a step (file percent, entry number) to the progress window, if any.
void postStep(const _EXTRACT *request, int percent, int entryNumber);
// Owner of the run's questions and messages: the progress window, else the
// caller's window, else none (a box of its own).
plat::HWND messageOwner(const _EXTRACT *request);

// Reads the catalogue of request->archivePath into request->entries (run
// owned). False when the archive has no readable catalogue.
bool loadEntries(ExtractRun &run);
// Frees entries the run read itself.
void releaseEntries(ExtractRun &run);
// Sets up the progress window for the archive in request->archivePath.
void initArchiveProgress(const _EXTRACT *request);

// Stores the result, frees what the run owns and signals completion.
int completeRun(ExtractRun &run, int result);

int runZipWorker(ExtractRun &run);
int runCabinetWorker(ExtractRun &run);

// Buttons of the decryption-code dialog.
enum : int {
    DECRYPT_OK = 1,
    DECRYPT_CANCEL = 2,
    DECRYPT_SKIP = 3,
    DECRYPT_USE_FOR_ALL = 4,
    DECRYPT_SKIP_ALL = 5,
};
// Asks for the decryption code of `entry` (owned by the progress window);
// the typed code goes into request->decryptCode. Returns the button.
int askDecryptionCode(_EXTRACT *request, const ZIPINFOEX &entry);

// Copies text into a fixed buffer, always terminated.
template <std::size_t N> void copyText(char (&out)[N], const std::string &text)
{
    const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    text.copy(out, n);
    out[n] = '\0';
}
