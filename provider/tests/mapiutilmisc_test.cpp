// MAPI's text and number helpers, the default allocator, initialisation and advise
// sinks, as any program calls them.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "mapi/mapiexports.h"
#include "memory/mapimemory.h"
#include "orba/common/comptr.h"

using namespace orba::store;
using orba::ComPtr;

namespace {

TEST(MapiUtilText, HexadecimalTextBothWays) {
  BYTE bytes[] = {0x00, 0x1F, 0xA0, 0xFF};
  char text[9] = "garbage";
  HexFromBin(bytes, 4, text);
  EXPECT_STREQ(text, "001FA0FF");
  HexFromBin(bytes, 0, text);
  EXPECT_STREQ(text, "");

  struct {
    const char* text;
    bool converts;
    std::vector<BYTE> bytes;
  } const cases[] = {{"001fA0FF", true, {0x00, 0x1F, 0xA0, 0xFF}},
                     {"", true, {}},
                     {"ABC", false, {}},  // odd length
                     {" 0A", false, {}},  // leading blank
                     {"0G", false, {}},   // not a digit
                     {"0A-", false, {}}};
  for (const auto& c : cases) {
    BYTE out[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(FBinFromHex(const_cast<LPTSTR>(c.text), out), BOOL{c.converts}) << c.text;
    if (c.converts) {
      EXPECT_EQ(std::vector<BYTE>(out, out + c.bytes.size()), c.bytes) << c.text;
    } else {
      EXPECT_EQ(out[0], 0xEE) << "nothing written for " << c.text;
    }
  }
  EXPECT_FALSE(FBinFromHex(nullptr, bytes));
}

TEST(MapiUtilText, NumbersFromText) {
  struct {
    const char* text;
    UINT decimal;
    ULONG hex;
  } const cases[] = {{"55", 55, 0x55},
                     {"5a5b", 5, 0x5A5B},
                     {"a5b5", 0, 0xA5B5},
                     {"5g5h", 5, 5},
                     {" 12", 0, 0},
                     {"", 0, 0},
                     {"-3", 0, 0},
                     {"4294967295", 4294967295u, 0x94967295},
                     {"FFFFffff", 0, 0xFFFFFFFF}};
  for (const auto& c : cases) {
    EXPECT_EQ(UFromSz(c.text), c.decimal) << c.text;
    EXPECT_EQ(UlFromSzHex(c.text), c.hex) << c.text;
  }
  EXPECT_EQ(UFromSz(nullptr), 0u);
  EXPECT_EQ(UlFromSzHex(nullptr), 0u);
}

TEST(MapiUtilText, SwapsEncodedSizesAndStringChecks) {
  WORD words[] = {0x1234, 0xABCD};
  EXPECT_EQ(SwapPword(words, 2), words);
  EXPECT_EQ(words[0], 0x3412);
  EXPECT_EQ(words[1], 0xCDAB);
  ULONG longs[] = {0x11223344};
  SwapPlong(longs, 1);
  EXPECT_EQ(longs[0], 0x44332211u);
  EXPECT_EQ(SwapPlong(nullptr, 3), nullptr);

  EXPECT_EQ(CbOfEncoded("AAAA"), 3u);
  EXPECT_EQ(CbOfEncoded("AAAAAA"), 4u);
  EXPECT_EQ(CbOfEncoded("AAAAAAA"), 5u);
  EXPECT_EQ(CbOfEncoded(""), 0u);
  EXPECT_EQ(CbOfEncoded(nullptr), 0u);

  EXPECT_FALSE(IsBadBoundedStringPtr("abc", 10));
  EXPECT_FALSE(IsBadBoundedStringPtr("abcdef", 3));  // readable over cchMax characters
  EXPECT_FALSE(IsBadBoundedStringPtr(nullptr, 0));
  EXPECT_TRUE(IsBadBoundedStringPtr(nullptr, 1));
  EXPECT_TRUE(IsBadBoundedStringPtr(reinterpret_cast<void*>(uintptr_t{64}), 4));
  auto unterminated = TMapiBuffer<char>::Allocate(4);
  std::memcpy(unterminated.get(), "abcd", 4);
  EXPECT_FALSE(IsBadBoundedStringPtr(unterminated.get(), 4));
  EXPECT_TRUE(IsBadBoundedStringPtr(unterminated.get(), 100));
}

// The allocator itself is the MAPI memory tests' concern.
TEST(MapiUtilMemory, DefaultMallocIsUncountedAndInitIsChecked) {
  LPMALLOC malloc = MAPIGetDefaultMalloc();
  EXPECT_EQ(malloc->AddRef(), 1u);
  EXPECT_EQ(malloc->Release(), 1u);
  EXPECT_EQ(ScInitMapiUtil(0), S_OK);
  EXPECT_EQ(ScInitMapiUtil(1), MAPI_E_UNKNOWN_FLAGS);
  DeinitMapiUtil();
}

struct TCalls {
  std::thread::id thread;
  ULONG count = 0;
  std::u16string messageClass;
};

LONG Callback(LPVOID context, ULONG count, LPNOTIFICATION notifications) {
  auto* calls = static_cast<TCalls*>(context);
  calls->thread = std::this_thread::get_id();
  calls->count += count;
  const NEWMAIL_NOTIFICATION& mail = notifications[0].info.newmail;
  calls->messageClass = reinterpret_cast<const char16_t*>(mail.lpszMessageClass);
  return 0;
}

// A new mail notification whose data lives in the caller's own memory.
struct TNewMail {
  std::u16string messageClass = u"IPM.Note";
  BYTE id[4] = {1, 2, 3, 4};
  NOTIFICATION notification{};
  TNewMail() {
    notification.ulEventType = fnevNewMail;
    notification.info.newmail = {4,
                                 reinterpret_cast<LPENTRYID>(id),
                                 4,
                                 reinterpret_cast<LPENTRYID>(id),
                                 MAPI_UNICODE,
                                 reinterpret_cast<LPTSTR>(messageClass.data()),
                                 0};
  }
};

TEST(MapiUtilSinks, CallbackSinkAndThreadSink) {
  TCalls calls;
  ComPtr<IMAPIAdviseSink> callback;
  ASSERT_EQ(HrAllocAdviseSink(Callback, &calls, callback.Out()), S_OK);
  EXPECT_EQ(HrAllocAdviseSink(nullptr, &calls, callback.Out()), MAPI_E_INVALID_PARAMETER);
  ASSERT_EQ(HrAllocAdviseSink(Callback, &calls, callback.Out()), S_OK);
  ComPtr<IMAPIAdviseSink> threaded;
  ASSERT_EQ(HrThisThreadAdviseSink(callback.get(), threaded.Out()), S_OK);
  EXPECT_EQ(HrThisThreadAdviseSink(nullptr, threaded.Out()), MAPI_E_INVALID_PARAMETER);
  ASSERT_EQ(HrThisThreadAdviseSink(callback.get(), threaded.Out()), S_OK);

  {  // On the sink's own thread: at once.
    TNewMail mail;
    threaded->OnNotify(1, &mail.notification);
    EXPECT_EQ(calls.count, 1u);
    EXPECT_EQ(calls.thread, std::this_thread::get_id());
  }
  // From another thread: a copy waits for this thread's HrDispatchNotifications.
  std::thread([&] {
    TNewMail mail;
    threaded->OnNotify(1, &mail.notification);
    mail.messageClass.assign(mail.messageClass.size(), u'x');  // the sender's memory changes
  }).join();
  EXPECT_EQ(calls.count, 1u);
  ASSERT_EQ(HrDispatchNotifications(0), S_OK);
  EXPECT_EQ(calls.count, 2u);
  EXPECT_EQ(calls.thread, std::this_thread::get_id());
  EXPECT_EQ(calls.messageClass, u"IPM.Note");
  ASSERT_EQ(HrDispatchNotifications(0), S_OK);
  EXPECT_EQ(calls.count, 2u);
}

TEST(MapiUtilExports, LiborbastoreExportsEveryFunctionByName) {
  void* library = dlopen(ORBASTORE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  // One function of each family.
  for (const char* name : {"ScInitMapiUtil", "PropCopyMore", "ScRelocProps", "HrGetOneProp", "FBadRestriction",
                           "CreateIProp", "HexFromBin", "HrQueryAllRows", "HrThisThreadAdviseSink"})
    EXPECT_NE(dlsym(library, name), nullptr) << name;
  // Nothing of the engines leaves the library.
  EXPECT_EQ(dlsym(library, "_ZN4orba5store13MapiBlockSizeEPKv"), nullptr);
}

}  // namespace
