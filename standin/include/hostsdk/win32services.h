#pragma once

// System services beyond windows, as plug-ins built here use them: the last
// error, module file names and version resources, the per-user registry,
// the Internet (WinINet), message boxes, the save dialog, the documents
// folder and the keyboard. Included by hostsdk.h after win32ui.h.
//
// Behaviour worth knowing:
// - The registry is the current user's only (HKEY_CURRENT_USER), kept in a
//   per-user settings store: "Software\Maker\Product\rest" is group "rest"
//   of the settings of organisation "Maker", application "Product" (the
//   inverse of where those settings live on the system itself). Values are
//   strings (REG_SZ); a key exists once it holds a value.
// - The Internet reaches this machine only: a server named by anything but
//   a loopback address or "localhost" is not found, at once and without a
//   name lookup. Connections are direct (no proxy), certificates are checked
//   against the system's authorities plus those in the PEM file named by the
//   environment variable STANDIN_CA_BUNDLE, redirects are followed only to
//   this machine and only to https addresses. A call blocks its thread,
//   running a local event loop (a QCoreApplication must exist), and gives up
//   on a server that stays silent for 30 s, or for the receive timeout set
//   on the handle or the handles it was opened from.
// - Message boxes, the save dialog, the documents folder and the state of
//   keys are answered by the person at the host (standin/user.h): a script
//   in tests, the terminal in the stand-in host program.
// - Paths are the host's own; a backslash in a path handed to the save
//   dialog counts as a folder separator.

// ---------------------------------------------------------------------------
// Last error

// Shared with win32ui.h; either header may come first.
using HANDLE = void*;
using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using SHORT = std::int16_t;
using LPDWORD = DWORD*;
using LPCVOID = const void*;
using HRESULT = LONG;
using LSTATUS = LONG;

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MORE_DATA 234L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L

// The calling thread's last error code, set by calls that fail.
DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD error);

// ---------------------------------------------------------------------------
// Modules and version resources

#define MAX_PATH 260

// The module's file; answers the characters copied (truncated to size - 1).
DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;  // 0xFEEF04BD
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

// The version resource of a module file that has one; 0 otherwise.
DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle);
BOOL WINAPI GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD length, LPVOID data);
// L"\\" gives the VS_FIXEDFILEINFO; L"\\StringFileInfo\\<block>\\<key>" a
// string value (length in characters, terminator included).
BOOL WINAPI VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, UINT* length);

// ---------------------------------------------------------------------------
// Registry

struct HKEY__;
using HKEY = HKEY__*;
using REGSAM = DWORD;
struct SECURITY_ATTRIBUTES;

#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001)))

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_NON_VOLATILE 0x0000
#define REG_CREATED_NEW_KEY 0x0001
#define REG_OPENED_EXISTING_KEY 0x0002

#define REG_NONE 0
#define REG_SZ 1

LSTATUS WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, HKEY* result);
LSTATUS WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass,
                               DWORD options, REGSAM desired, const SECURITY_ATTRIBUTES* security,
                               HKEY* result, LPDWORD disposition);
// size is in bytes, the terminator included; a null data asks for the size.
LSTATUS WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type,
                                BYTE* data, LPDWORD size);
LSTATUS WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type,
                              const BYTE* data, DWORD size);
LSTATUS WINAPI RegCloseKey(HKEY key);

// ---------------------------------------------------------------------------
// Internet

using HINTERNET = void*;
using INTERNET_PORT = WORD;

#define INTERNET_OPEN_TYPE_PRECONFIG 0
#define INTERNET_OPEN_TYPE_DIRECT 1

#define INTERNET_DEFAULT_HTTP_PORT 80
#define INTERNET_DEFAULT_HTTPS_PORT 443
#define INTERNET_SERVICE_HTTP 3

#define INTERNET_FLAG_RELOAD 0x80000000
#define INTERNET_FLAG_NO_CACHE_WRITE 0x04000000
#define INTERNET_FLAG_SECURE 0x00800000

#define INTERNET_OPTION_RECEIVE_TIMEOUT 6
#define INTERNET_OPTION_URL 34

#define HTTP_QUERY_CONTENT_LENGTH 5
#define HTTP_QUERY_STATUS_CODE 19
#define HTTP_QUERY_FLAG_NUMBER 0x20000000

#define ERROR_INTERNET_TIMEOUT 12002L
#define ERROR_INTERNET_INTERNAL_ERROR 12004L
#define ERROR_INTERNET_INVALID_URL 12005L
#define ERROR_INTERNET_UNRECOGNIZED_SCHEME 12006L
#define ERROR_INTERNET_NAME_NOT_RESOLVED 12007L
#define ERROR_INTERNET_INCORRECT_HANDLE_TYPE 12018L
#define ERROR_INTERNET_INCORRECT_HANDLE_STATE 12019L
#define ERROR_INTERNET_CANNOT_CONNECT 12029L
#define ERROR_INTERNET_CONNECTION_ABORTED 12030L
#define ERROR_INTERNET_CONNECTION_RESET 12031L
#define ERROR_INTERNET_SECURITY_CHANNEL_ERROR 12157L
#define ERROR_HTTP_HEADER_NOT_FOUND 12150L
#define ERROR_HTTP_REDIRECT_FAILED 12156L
#define ERROR_HTTP_INVALID_SERVER_RESPONSE 12152L

HINTERNET WINAPI InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass,
                               DWORD flags);
HINTERNET WINAPI InternetConnectW(HINTERNET internet, LPCWSTR serverName, INTERNET_PORT port,
                                  LPCWSTR userName, LPCWSTR password, DWORD service, DWORD flags,
                                  DWORD_PTR context);
// INTERNET_FLAG_SECURE asks for https.
HINTERNET WINAPI HttpOpenRequestW(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName,
                                  LPCWSTR version, LPCWSTR referrer, LPCWSTR* acceptTypes,
                                  DWORD flags, DWORD_PTR context);
// Headers are "Name: value" lines separated by CR LF; a length of
// (DWORD)-1 means up to the terminator. Succeeds once the reply's headers
// have arrived, whatever its status.
BOOL WINAPI HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength,
                             LPVOID optional, DWORD optionalLength);
// Sends a GET of an http or https address and waits for the reply's headers.
HINTERNET WINAPI InternetOpenUrlW(HINTERNET internet, LPCWSTR url, LPCWSTR headers,
                                  DWORD headersLength, DWORD flags, DWORD_PTR context);
// HTTP_QUERY_CONTENT_LENGTH or HTTP_QUERY_STATUS_CODE, as a DWORD with
// HTTP_QUERY_FLAG_NUMBER, else as text; lengths in bytes.
BOOL WINAPI HttpQueryInfoW(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength,
                           LPDWORD index);
// Blocks until toRead bytes have come or the reply has ended; 0 bytes read
// with TRUE is the end.
BOOL WINAPI InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read);
// Waits until some of the reply can be read without blocking: *available
// is how much (0 at the end of the reply). A wait that outlasts the receive
// timeout fails with ERROR_INTERNET_TIMEOUT and leaves the request as it
// was, so that the caller may look at the keyboard or a clock and wait
// again.
BOOL WINAPI InternetQueryDataAvailable(HINTERNET file, LPDWORD available, DWORD flags,
                                       DWORD_PTR context);
// INTERNET_OPTION_RECEIVE_TIMEOUT (a DWORD of milliseconds; 0 for the 30 s
// default) on any handle; requests use their own or their parents'.
BOOL WINAPI InternetSetOptionW(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length);
// INTERNET_OPTION_URL of a request: the address of the reply, after every
// redirect, as wide text; sizes in bytes as for HttpQueryInfoW.
BOOL WINAPI InternetQueryOptionW(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD length);
// Closes the handle and the handles opened from it.
BOOL WINAPI InternetCloseHandle(HINTERNET handle);
// ERROR_SUCCESS when a connection may be attempted.
DWORD WINAPI InternetAttemptConnect(DWORD reserved);

// ---------------------------------------------------------------------------
// Message boxes

#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONERROR 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONWARNING 0x00000030L
#define MB_ICONINFORMATION 0x00000040L

#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

// The button the user chose, or 0 when no box could be shown.
int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// ---------------------------------------------------------------------------
// The save dialog

#define OFN_READONLY 0x00000001
#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_CREATEPROMPT 0x00002000
#define OFN_NOREADONLYRETURN 0x00008000

#define CDERR_STRUCTSIZE 0x0001
#define CDERR_INITIALIZATION 0x0002
#define FNERR_BUFFERTOOSMALL 0x3003

struct OPENFILENAMEW {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    // Pairs of a name and a pattern, each zero-terminated, and a final zero.
    LPCWSTR lpstrFilter;
    LPWSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    // In: the initial file name; out: the chosen path.
    LPWSTR lpstrFile;
    DWORD nMaxFile;
    LPWSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCWSTR lpstrInitialDir;
    LPCWSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    // Appended, after a dot, to a typed name that has no extension.
    LPCWSTR lpstrDefExt;
    LPARAM lCustData;
    void* lpfnHook;
    LPCWSTR lpTemplateName;
    void* pvReserved;
    DWORD dwReserved;
    DWORD FlagsEx;
};

// FALSE when the user cancels (CommDlgExtendedError() is then 0) or the
// dialog fails (an error code).
BOOL WINAPI GetSaveFileNameW(OPENFILENAMEW* ofn);
DWORD WINAPI CommDlgExtendedError();

// ---------------------------------------------------------------------------
// Shell folders

#define CSIDL_PERSONAL 0x0005
#define SHGFP_TYPE_CURRENT 0
#define S_OK 0L
#define E_FAIL (static_cast<HRESULT>(0x80004005L))
#define E_INVALIDARG (static_cast<HRESULT>(0x80070057L))

// The user's folder of that kind into path (MAX_PATH characters); only the
// documents folder (CSIDL_PERSONAL) is known.
HRESULT WINAPI SHGetFolderPathW(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path);

// ---------------------------------------------------------------------------
// Keyboard and responsiveness

#define VK_ESCAPE 0x1B

// The high bit is set while the key is down.
SHORT WINAPI GetAsyncKeyState(int key);
// Windows of this process keep their contents while it does not answer.
void WINAPI DisableProcessWindowsGhosting();
