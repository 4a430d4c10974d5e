#include "orba/VoMAPIList.h"

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIExceptions.h"

namespace orba {

TVoMAPIList::TVoMAPIList(TVoMAPIValueOwner* Parent) : TVoMAPIObject(Parent) {}

void TVoMAPIList::MoveFirst() {
  if (!records_.empty()) current_ = records_.front().get();
}

void TVoMAPIList::MoveNext() {
  if (current_) current_ = current_->Next;
}

void TVoMAPIList::MovePrevious() {
  if (current_) current_ = current_->Prev;
}

void TVoMAPIList::MoveLast() {
  if (!records_.empty()) current_ = records_.back().get();
}

void TVoMAPIList::DeleteAt(int32_t Index) { RemoveRecord(RecordAt(Index)); }

void TVoMAPIList::DeleteCurrent() {
  TRecord* record = CurrentChecked();
  current_ = record->Next ? record->Next : record->Prev;
  RemoveRecord(record);
}

void TVoMAPIList::ClearAll() {
  current_ = nullptr;
  records_.clear();
}

int32_t TVoMAPIList::AddRecord(std::unique_ptr<TRecord> Record) {
  TRecord* last = records_.empty() ? nullptr : records_.back().get();
  Record->Prev = last;
  Record->Next = nullptr;
  if (last) last->Next = Record.get();
  current_ = Record.get();
  records_.push_back(std::move(Record));
  return Count() - 1;
}

void TVoMAPIList::RemoveRecord(TRecord* Record) {
  if (current_ == Record) current_ = Record->Next;
  if (Record->Prev) Record->Prev->Next = Record->Next;
  if (Record->Next) Record->Next->Prev = Record->Prev;
  records_.erase(records_.begin() + IndexOfRecord(Record));
}

TVoMAPIList::TRecord* TVoMAPIList::RecordAt(int32_t Index) const {
  if (Index < 0 || Index >= Count()) kit::RaiseListIndex(Index);
  return records_[Index].get();
}

TVoMAPIList::TRecord* TVoMAPIList::CurrentChecked() const {
  if (!current_) kit::Raise(E_FAIL, u"The list is EOF!");
  return current_;
}

int32_t TVoMAPIList::IndexOfRecord(const TRecord* Record) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (records_[i].get() == Record) return i;
  return -1;
}

}  // namespace orba
