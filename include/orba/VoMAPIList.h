// TVoMAPIList: the base of the library's list objects. Items keep their insertion
// order (an indexable array) and are linked to their neighbours; a cursor (Current)
// walks the links and is absent at the end of the list (EOF).
#pragma once

#include <memory>
#include <vector>

#include "orba/VoMAPIObject.h"
#include "orba/common/comobject.h"

namespace orba {

inline constexpr IID IID_IVoMAPIList = {0xF36016CC, 0x2E3E, 0x4E4B, {0xA7, 0xDD, 0x58, 0x16, 0x1F, 0x0D, 0x54, 0x55}};

struct IVoMAPIList : IUnknown {
  virtual int32_t Get_Count() = 0;
  // No current item.
  virtual bool16 Get_EOF() = 0;
  virtual void First() = 0;
  virtual void Next() = 0;
  virtual void Previous() = 0;
  virtual void Last() = 0;
  // Index 0..Count-1; others raise "List index out of bounds (%d)".
  virtual void Delete(int32_t Index) = 0;
  // Deletes the current item; the cursor moves to the next item, else the previous.
  virtual void DeleteRecord() = 0;
  virtual void Clear() = 0;

 protected:
  ~IVoMAPIList() = default;
};

}  // namespace orba

ORBA_DECLARE_INTERFACE(orba::IVoMAPIList, IUnknown, orba::IID_IVoMAPIList);

namespace orba {

class TVoMAPIList : public TVoMAPIObject {
 public:
  // Parent (may be null) is the object that created the list.
  explicit TVoMAPIList(TVoMAPIValueOwner* Parent = nullptr);

  int32_t Count() const { return int32_t(records_.size()); }
  bool IsEOF() const { return current_ == nullptr; }
  void MoveFirst();
  void MoveNext();
  void MovePrevious();
  void MoveLast();
  void DeleteAt(int32_t Index);
  void DeleteCurrent();
  void ClearAll();

 protected:
  struct TRecord {
    virtual ~TRecord() = default;
    TRecord* Prev = nullptr;
    TRecord* Next = nullptr;
  };

  // A new record of the subclass's payload.
  virtual std::unique_ptr<TRecord> CreateNewRecord() = 0;
  // Appends the record after the last one and makes it current; returns its index.
  virtual int32_t AddRecord(std::unique_ptr<TRecord> Record);
  // Unlinks the record (the cursor moves to its successor when it is current) and
  // frees it.
  virtual void RemoveRecord(TRecord* Record);

  TRecord* RecordAt(int32_t Index) const;
  // The current record; at EOF raises E_FAIL "The list is EOF!".
  TRecord* CurrentChecked() const;
  int32_t IndexOfRecord(const TRecord* Record) const;

 private:
  std::vector<std::unique_ptr<TRecord>> records_;
  TRecord* current_ = nullptr;
};

// Implements IVoMAPIList for a list interface Intf (derived from IVoMAPIList) over a
// list class Base (derived from TVoMAPIList).
template <class Base, class Intf>
class TVoMAPIListOf : public TVoComObject<Base, Intf> {
 public:
  using TVoComObject<Base, Intf>::TVoComObject;

  int32_t Get_Count() override { return this->Count(); }
  bool16 Get_EOF() override { return this->IsEOF(); }
  void First() override { this->MoveFirst(); }
  void Next() override { this->MoveNext(); }
  void Previous() override { this->MovePrevious(); }
  void Last() override { this->MoveLast(); }
  void Delete(int32_t Index) override { this->DeleteAt(Index); }
  void DeleteRecord() override { this->DeleteCurrent(); }
  void Clear() override { this->ClearAll(); }
};

// A list whose records carry one payload of type T.
template <class T>
class TVoMAPIPayloadList : public TVoMAPIList {
 public:
  using TVoMAPIList::TVoMAPIList;

 protected:
  struct TPayloadRecord : TRecord {
    T Data{};
  };

  std::unique_ptr<TRecord> CreateNewRecord() override { return std::make_unique<TPayloadRecord>(); }
  // Appends a record holding Data; returns its index.
  int32_t Append(T Data) {
    auto record = CreateNewRecord();
    static_cast<TPayloadRecord&>(*record).Data = std::move(Data);
    return AddRecord(std::move(record));
  }
  T& At(int32_t Index) const { return static_cast<TPayloadRecord*>(RecordAt(Index))->Data; }
  T& CurrentData() const { return static_cast<TPayloadRecord*>(CurrentChecked())->Data; }
  // The index of the first payload for which Match is true; -1 when none.
  template <class Pred>
  int32_t FindIndex(Pred Match) const {
    for (int32_t i = 0; i < Count(); ++i)
      if (Match(At(i))) return i;
    return -1;
  }
};

}  // namespace orba
