// What Orba Store's tests share: a fresh ORBA_HOME, property values (built with the
// provider's own builders, props/propvalues.h) set on and read from objects, streams,
// table rows, entry ID arguments, notification sinks, and the code of a failure.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "memory/mapimemory.h"
#include "orba/common/comobject.h"
#include "props/propvalues.h"
#include "props/tags.h"

namespace orba::store::testing {

// A fresh ORBA_HOME for one test, removed afterwards.
class TTempStoreHome {
 public:
  TTempStoreHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orbastore-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
    setenv("ORBA_HOME", path_.c_str(), 1);
  }
  ~TTempStoreHome() {
    unsetenv("ORBA_HOME");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& Path() const { return path_; }
  std::string File(const char* name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A text value pointing at a string literal (the provider's TextValue takes a
// std::u16string, which a literal would make a temporary of).
using orba::store::TextValue;
inline SPropValue TextValue(ULONG tag, const char16_t* literal) {
  SPropValue value{tag, 0, {}};
  value.Value.lpszW = reinterpret_cast<LPWSTR>(const_cast<char16_t*>(literal));
  return value;
}

inline LPTSTR A(const char* text) { return const_cast<LPTSTR>(text); }
inline LPTSTR W(const char16_t* text) { return reinterpret_cast<LPTSTR>(const_cast<char16_t*>(text)); }
inline std::u16string WideOf(LPWSTR text) { return reinterpret_cast<const char16_t*>(text); }

// The code of the TMapiError body throws; S_OK when it throws none.
template <class Body>
HRESULT CodeOf(Body&& body) {
  try {
    body();
  } catch (const TMapiError& e) {
    return e.Code();
  }
  return S_OK;
}

// SetProps: its result, or the first problem it reports.
inline HRESULT Set(IMAPIProp* object, std::vector<SPropValue> values) {
  TMapiBuffer<SPropProblemArray> problems;
  HRESULT hr = object->SetProps(static_cast<ULONG>(values.size()), values.data(), problems.Out());
  return FAILED(hr) || !problems ? hr : problems->aProblem[0].scode;
}

// DeleteProps, reported the same way.
inline HRESULT Delete(IMAPIProp* object, std::vector<ULONG> tags) {
  auto list = TMapiBuffer<SPropTagArray>::Allocate(CbNewSPropTagArray(tags.size()));
  list->cValues = static_cast<ULONG>(tags.size());
  std::copy(tags.begin(), tags.end(), list->aulPropTag);
  TMapiBuffer<SPropProblemArray> problems;
  HRESULT hr = object->DeleteProps(list.get(), problems.Out());
  return FAILED(hr) || !problems ? hr : problems->aProblem[0].scode;
}

// One property as GetProps answers it (a PT_ERROR value when missing).
inline TMapiBuffer<SPropValue> Get(IMAPIProp* object, ULONG tag, ULONG flags = MAPI_UNICODE) {
  SizedSPropTagArray<1> wanted{1, {tag}};
  ULONG count = 0;
  TMapiBuffer<SPropValue> values;
  HRESULT hr = object->GetProps(wanted.Ptr(), flags, &count, values.Out());
  EXPECT_TRUE(hr == S_OK || hr == MAPI_W_ERRORS_RETURNED) << std::hex << hr;
  return values;
}
// S_OK when the object has the property, else the error its value carries.
inline HRESULT PropCode(IMAPIProp* object, ULONG tag) {
  auto value = Get(object, tag);
  return PROP_TYPE(value->ulPropTag) == PT_ERROR ? value->Value.err : S_OK;
}
// Values of missing properties read as empty, or 0xFFFFFFFF.
inline std::u16string Text(IMAPIProp* object, ULONG tag) {
  auto value = Get(object, tag);
  return value->ulPropTag == tag ? WideOf(value->Value.lpszW) : u"";
}
inline ULONG Long(IMAPIProp* object, ULONG tag) {
  auto value = Get(object, tag);
  return value->ulPropTag == tag ? value->Value.ul : 0xFFFFFFFF;
}
inline Bytes Binary(IMAPIProp* object, ULONG tag) {
  auto value = Get(object, tag);
  return value->ulPropTag == tag ? Bytes(value->Value.bin.lpb, value->Value.bin.lpb + value->Value.bin.cb) : Bytes();
}

// A property written and read through OpenProperty's streams.
inline void WriteStream(IMAPIProp* object, ULONG tag, const std::vector<BYTE>& bytes) {
  ComPtr<IStream> stream;
  ASSERT_EQ(
      object->OpenProperty(tag, &IID_IStream, 0, MAPI_CREATE | MAPI_MODIFY, reinterpret_cast<LPUNKNOWN*>(stream.Out())),
      S_OK);
  ULONG written = 0;
  ASSERT_EQ(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written), S_OK);
  ASSERT_EQ(stream->Commit(0), S_OK);
}
inline std::vector<BYTE> ReadStream(IMAPIProp* object, ULONG tag) {
  ComPtr<IStream> stream;
  EXPECT_EQ(object->OpenProperty(tag, &IID_IStream, 0, 0, reinterpret_cast<LPUNKNOWN*>(stream.Out())), S_OK);
  std::vector<BYTE> all;
  BYTE chunk[4096];
  ULONG read = 0;
  while (stream && stream->Read(chunk, sizeof(chunk), &read) == S_OK && read)
    all.insert(all.end(), chunk, chunk + read);
  return all;
}
// size bytes of a pattern that is not all alike.
inline std::vector<BYTE> Pattern(size_t size) {
  std::vector<BYTE> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<BYTE>((i * 31 + 7) & 0xFF);
  return bytes;
}

// The rows QueryRows answered.
struct TRows {
  LPSRowSet set = nullptr;
  TRows() = default;
  TRows(TRows&& other) noexcept : set(std::exchange(other.set, nullptr)) {}
  TRows& operator=(TRows&& other) noexcept {
    std::swap(set, other.set);
    return *this;
  }
  ~TRows() { FreeProws(set); }
  ULONG size() const { return set ? set->cRows : 0; }
  const SPropValue* operator[](ULONG row) const { return set->aRow[row].lpProps; }
};
// Up to count rows from the table's position (with columns set first, when given).
inline TRows Query(IMAPITable* table, std::vector<ULONG> columns = {}, LONG count = 1000, ULONG flags = 0) {
  if (!columns.empty()) {
    auto list = TMapiBuffer<SPropTagArray>::Allocate(CbNewSPropTagArray(columns.size()));
    list->cValues = static_cast<ULONG>(columns.size());
    std::copy(columns.begin(), columns.end(), list->aulPropTag);
    EXPECT_EQ(table->SetColumns(list.get(), 0), S_OK);
  }
  TRows rows;
  EXPECT_EQ(table->QueryRows(count, flags, &rows.set), S_OK);
  return rows;
}
inline ULONG RowCount(IMAPITable* table) {
  ULONG count = 0;
  EXPECT_EQ(table->GetRowCount(0, &count), S_OK);
  return count;
}

// Entry IDs as MAPI's arguments take them.
inline LPENTRYID Id(Bytes& bytes) { return reinterpret_cast<LPENTRYID>(bytes.data()); }
inline ULONG Cb(const Bytes& bytes) { return static_cast<ULONG>(bytes.size()); }
// An entry list over entry IDs the caller keeps alive.
struct TEntryList {
  explicit TEntryList(std::vector<Bytes>& ids) {
    for (Bytes& id : ids) bins.push_back({Cb(id), id.data()});
    list.cValues = static_cast<ULONG>(bins.size());
    list.lpbin = bins.data();
  }
  std::vector<SBinary> bins;
  ENTRYLIST list{};
};

// A new sink of type Sink advised on the changes of table (its connection in
// connection, when given).
template <class Sink>
ComPtr<Sink> WatchTable(IMAPITable* table, ULONG_PTR* connection = nullptr) {
  auto sink = MakeComObject<Sink>();
  ULONG_PTR ignored = 0;
  EXPECT_EQ(table->Advise(fnevTableModified, sink.get(), connection ? connection : &ignored), S_OK);
  return sink;
}

// Keeps the published fields of the object notifications it receives.
class TObjectSink final : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  struct TEvent {
    ULONG type;
    ULONG objType;
    Bytes entryId, parentId, oldId, oldParentId;
  };
  STDMETHOD_(ULONG, OnNotify)(ULONG count, LPNOTIFICATION notifications) override {
    for (ULONG i = 0; i < count; ++i) {
      const OBJECT_NOTIFICATION& obj = notifications[i].info.obj;
      auto bytes = [](ULONG cb, LPENTRYID id) {
        return id ? Bytes(reinterpret_cast<BYTE*>(id), reinterpret_cast<BYTE*>(id) + cb) : Bytes{};
      };
      events.push_back({notifications[i].ulEventType, obj.ulObjType, bytes(obj.cbEntryID, obj.lpEntryID),
                        bytes(obj.cbParentID, obj.lpParentID), bytes(obj.cbOldID, obj.lpOldID),
                        bytes(obj.cbOldParentID, obj.lpOldParentID)});
    }
    return 0;
  }
  std::vector<ULONG> Types() const {
    std::vector<ULONG> types;
    for (const TEvent& event : events) types.push_back(event.type);
    return types;
  }
  std::vector<TEvent> events;
};

// Keeps the table events it receives, with the row each carries.
class TTableSink final : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  struct TEvent {
    ULONG event;
    std::vector<SPropValue> row;  // pointing into the notification: only its tags and numbers are kept valid
    std::u16string name;          // PR_DISPLAY_NAME_W or PR_SUBJECT_W, when the row has it
  };
  STDMETHOD_(ULONG, OnNotify)(ULONG count, LPNOTIFICATION notifications) override {
    for (ULONG i = 0; i < count; ++i) {
      if (notifications[i].ulEventType != fnevTableModified) continue;
      const TABLE_NOTIFICATION& table = notifications[i].info.tab;
      TEvent event{table.ulTableEvent, {}, {}};
      for (ULONG p = 0; p < table.row.cValues; ++p) {
        const SPropValue& v = table.row.lpProps[p];
        event.row.push_back(v);
        if (v.ulPropTag == tags::kDisplayNameW || v.ulPropTag == tags::kSubjectW) event.name = WideOf(v.Value.lpszW);
      }
      events.push_back(std::move(event));
    }
    return 0;
  }
  std::vector<ULONG> Kinds() const {
    std::vector<ULONG> kinds;
    for (const TEvent& event : events) kinds.push_back(event.event);
    return kinds;
  }
  size_t CountOf(ULONG kind) const {
    return std::count_if(events.begin(), events.end(), [&](const TEvent& e) { return e.event == kind; });
  }
  // The names of the rows of the events of one kind, sorted.
  std::vector<std::u16string> Names(ULONG kind) const {
    std::vector<std::u16string> names;
    for (const TEvent& e : events)
      if (e.event == kind) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
  }
  // The number in column tag of the last event of kind for the row named name; -1 when
  // there is none.
  LONG Last(ULONG kind, const std::u16string& name, ULONG tag) const {
    for (auto e = events.rbegin(); e != events.rend(); ++e) {
      if (e->event != kind || e->name != name) continue;
      for (const SPropValue& v : e->row)
        if (v.ulPropTag == tag) return PROP_TYPE(tag) == PT_BOOLEAN ? v.Value.b : v.Value.l;
      return -1;
    }
    return -1;
  }
  std::vector<TEvent> events;
};

}  // namespace orba::store::testing
