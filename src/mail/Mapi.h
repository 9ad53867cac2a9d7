#pragma once
// The records and constants of the Simple MAPI send call, as this program
// fills them. Written from the published interface's meaning; only what the
// mail sender uses is here.

#include <cstdint>

namespace orv::mapi {

using ULONG = std::uint32_t;
using LHANDLE = std::uintptr_t;

constexpr ULONG MAPI_ORIG = 0;
constexpr ULONG MAPI_TO = 1;
constexpr ULONG MAPI_CC = 2;
constexpr ULONG MAPI_BCC = 3;

constexpr ULONG SUCCESS_SUCCESS = 0;
constexpr ULONG MAPI_USER_ABORT = 1;
constexpr ULONG MAPI_E_FAILURE = 2;
constexpr ULONG MAPI_E_ATTACHMENT_NOT_FOUND = 11;
constexpr ULONG MAPI_E_INVALID_RECIPS = 25;

constexpr ULONG MAPI_LOGON_UI = 0x01;
constexpr ULONG MAPI_NEW_SESSION = 0x02;
constexpr ULONG MAPI_DIALOG = 0x08;

struct MapiRecipDesc {
    ULONG ulReserved = 0;
    ULONG ulRecipClass = 0;
    const char* lpszName = nullptr;
    const char* lpszAddress = nullptr;
    ULONG ulEIDSize = 0;
    void* lpEntryID = nullptr;
};

struct MapiFileDesc {
    ULONG ulReserved = 0;
    ULONG flFlags = 0;
    ULONG nPosition = 0;
    const char* lpszPathName = nullptr;
    const char* lpszFileName = nullptr;
    void* lpFileType = nullptr;
};

struct MapiMessage {
    ULONG ulReserved = 0;
    const char* lpszSubject = nullptr;
    const char* lpszNoteText = nullptr;
    const char* lpszMessageType = nullptr;
    const char* lpszDateReceived = nullptr;
    const char* lpszConversationID = nullptr;
    ULONG flFlags = 0;
    MapiRecipDesc* lpOriginator = nullptr;
    ULONG nRecipCount = 0;
    MapiRecipDesc* lpRecips = nullptr;
    ULONG nFileCount = 0;
    MapiFileDesc* lpFiles = nullptr;
};

} // namespace orv::mapi
