// PatGetStatusString: the status text handed to the host.
#include "frame/result.h"
#include "status/status_text.h"

namespace patprn {

namespace {

// The detailed message of a service call ends with the printer's service
// code, cut short if it would not fit.
void AppendServiceCode(ElemList *entries, uint32_t variant, char *text, uint32_t capacity) {
    StatusEntry first;
    if ((variant & 0xFFu) != PAT_STATUS_TEXT_DETAILED || !ElemListGet(entries, 1, &first) ||
        first.key != kServiceCallCode) {
        return;
    }
    const int length = lstrlenA(text);
    lstrcpynA(text + length, first.text, static_cast<int>(capacity) - length);
}

DWORD GetStatusString(DWORD status, const QueryNode *root, DWORD revision, DWORD variant, char *output,
                      DWORD *length) {
    if (root == nullptr || length == nullptr || !RevisionMatches(revision, PAT_REVISION_STATUS) ||
        !IsStatusSource(status)) {
        return ERROR_INVALID_PARAMETER;
    }
    StatusView view;
    const DWORD viewError = BuildStatusView(status, root, &view);
    if (viewError != ERROR_SUCCESS) return viewError;
    if (view.dwSize < PAT_PRNINFOEX_MIN_SIZE) return ERROR_INVALID_PARAMETER;

    const StatusContext context{status, &view};
    // The entries live on the stack until they outgrow their first step.
    LocalElemList<StatusEntry, kStatusEntriesPerStep> local;
    ElemListInitLocal(&local, kStatusEntriesPerStep);
    ElemList *entries = &local.list;
    // A status argument without a priority table has no codes to show; it
    // is reported like a list that cannot be built.
    if (BuildStatusEntries(context, entries) != ERROR_SUCCESS) {
        ElemListRelease(entries);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    char text[kStatusTextSize];
    const DWORD error = ComposeStatusText(context, entries, variant, text, sizeof text);
    if (error == ERROR_SUCCESS) AppendServiceCode(entries, variant, text, sizeof text);
    ElemListRelease(entries);
    if (error != ERROR_SUCCESS) return error;
    return DeliverText(text, output, length);
}

}  // namespace

}  // namespace patprn

extern "C" BOOL WINAPI PatGetStatusString(DWORD status, const QueryNode *root, DWORD revision, DWORD variant,
                                          char *output, DWORD *length) {
    return patprn::ExportResult(patprn::GetStatusString(status, root, revision, variant, output, length));
}
