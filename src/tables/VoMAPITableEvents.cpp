// Table notifications: TVoMAPITable's advise connection and the events it raises, and
// the component that listens to them.
#include "orba/VoMAPITableEvents.h"

#include "kit/VoMAPIAdviseSink.h"
#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIFolder.h"
#include "orba/VoMAPIMemoryTable.h"
#include "orba/VoMAPIPropConvert.h"

namespace orba {

// TVoMAPITable ----------------------------------------------------------------------------

void TVoMAPITable::Advise() {
  CheckActive(u"Advise");
  if (connection_) kit::Raise(E_FAIL, u"The table notification system has already been activated!");
  if (!table_) RaiseNotSupported();
  auto sink = MakeComObject<TVoMAPIAdviseSink<TVoMAPITable>>(this, &TVoMAPITable::OnNotify);
  ULONG_PTR connection = 0;
  HRESULT hr = table_->Advise(fnevTableModified, sink.get(), &connection);
  if (hr != S_OK || connection == 0) sink->Detach();
  CheckMAPIResult(this, u"Advise", hr);
  if (connection == 0) kit::Raise(26, u"The given table does not support notifications!");
  connection_ = connection;
  sink_ = std::move(sink);
}

void TVoMAPITable::UnAdvise() {
  if (!connection_) return;
  CheckActive(u"UnAdvise");
  CheckMAPIResult(this, u"UnAdvise", StopNotifications());
}

HRESULT TVoMAPITable::StopNotifications() {
  if (!connection_) return S_OK;
  sink_->Detach();
  sink_ = nullptr;
  const ULONG_PTR connection = std::exchange(connection_, 0);
  return table_ ? table_->Unadvise(connection) : S_OK;
}

void TVoMAPITable::FireEvent(const std::function<void(IVoMAPITableDEvents& Sink)>& Call) {
  ComPtr<IVoMAPITable> hold(this);  // a sink may drop the caller's last reference
  GetConnectionPoints().Find(IID_IVoMAPITableDEvents)->ForEachSink<IVoMAPITableDEvents>([&](IVoMAPITableDEvents* sink) {
    Call(*sink);
  });
}

namespace {

TVoVariant InstanceKeyOf(const SPropValue& Key) {
  if (PROP_TYPE(Key.ulPropTag) != PT_BINARY || !Key.Value.bin.lpb) return TVoVariant::Null();
  return TVoVariant(TVoVariant::ByteArray(Key.Value.bin.lpb, Key.Value.bin.lpb + Key.Value.bin.cb));
}

}  // namespace

ComPtr<IVoMAPITable> TVoMAPITable::RowTable(const SRow& Row) {
  auto table = MakeComObject<TVoMAPIMemoryTable>();
  table->Insert();
  TVoMAPITableFields& columns = Fields();
  for (ULONG i = 0; i < Row.cValues; ++i) {
    const SPropValue& value = Row.lpProps[i];
    // The table's own field where the row has its column (named properties keep their
    // names, and a value MAPI could not give keeps its property's type).
    const TVoMAPIPropInfo* info = nullptr;
    if (int32_t(i) < columns.Count()) {
      const TVoMAPIPropInfo& column = columns.Item(int32_t(i)).PropInfo();
      const ULONG tag = GetPropTag(column);
      if (PROP_ID(tag) == PROP_ID(value.ulPropTag) &&
          (PROP_TYPE(tag) == PROP_TYPE(value.ulPropTag) || PROP_TYPE(value.ulPropTag) == PT_ERROR))
        info = &column;
    }
    if (!info) info = GetProp(value.ulPropTag, true);
    TVoMAPITableField& field = table->Fields().Add(*info);
    // A value MAPI could not give stays empty without emptying the other text width's.
    if (PROP_TYPE(value.ulPropTag) != PT_ERROR)
      table->SetFieldValue(field, VoMAPIPropVarValue(value, TVoVariant::Null()));
  }
  return table;
}

void TVoMAPITable::OnNotify(ULONG Count, const NOTIFICATION* Notifications) {
  for (ULONG i = 0; i < Count; ++i) {
    if (Notifications[i].ulEventType != fnevTableModified) continue;  // a table raises nothing else
    const TABLE_NOTIFICATION& tab = Notifications[i].info.tab;
    switch (tab.ulTableEvent) {
      case TABLE_CHANGED: FireEvent([&](IVoMAPITableDEvents& s) { s.OnChanged(this); }); break;
      case TABLE_ERROR: FireEvent([&](IVoMAPITableDEvents& s) { s.OnError(this); }); break;
      case TABLE_SORT_DONE: FireEvent([&](IVoMAPITableDEvents& s) { s.OnSortDone(this); }); break;
      case TABLE_RESTRICT_DONE: FireEvent([&](IVoMAPITableDEvents& s) { s.OnRestrictDone(this); }); break;
      case TABLE_SETCOL_DONE: FireEvent([&](IVoMAPITableDEvents& s) { s.OnSetColDone(this); }); break;
      case TABLE_RELOAD: FireEvent([&](IVoMAPITableDEvents& s) { s.OnReload(this); }); break;
      case TABLE_ROW_ADDED: {
        ComPtr<IVoMAPITable> row = RowTable(tab.row);
        FireEvent([&](IVoMAPITableDEvents& s) { s.OnRowAdded(this, InstanceKeyOf(tab.propIndex), row.get()); });
        break;
      }
      case TABLE_ROW_MODIFIED: {
        ComPtr<IVoMAPITable> row = RowTable(tab.row);
        FireEvent([&](IVoMAPITableDEvents& s) { s.OnRowModified(this, InstanceKeyOf(tab.propIndex), row.get()); });
        break;
      }
      case TABLE_ROW_DELETED:
        FireEvent([&](IVoMAPITableDEvents& s) { s.OnRowDeleted(this, InstanceKeyOf(tab.propIndex)); });
        break;
      default: break;  // events of later MAPI versions
    }
  }
}

// TVoMAPITableEvents ----------------------------------------------------------------------

// Connected to the table's events; forwards them to the component's properties.
class TVoMAPITableEvents::TSink : public TVoComObject<TVoRefCounted, IVoMAPITableDEvents> {
 public:
  explicit TSink(TVoMAPITableEvents& Owner) : owner_(Owner) {}

  void OnChanged(IVoMAPITable* Table) override { Raise(owner_.OnChanged, Table); }
  void OnError(IVoMAPITable* Table) override { Raise(owner_.OnError, Table); }
  void OnReload(IVoMAPITable* Table) override { Raise(owner_.OnReload, Table); }
  void OnRestrictDone(IVoMAPITable* Table) override { Raise(owner_.OnRestrictDone, Table); }
  void OnSetColDone(IVoMAPITable* Table) override { Raise(owner_.OnSetColDone, Table); }
  void OnSortDone(IVoMAPITable* Table) override { Raise(owner_.OnSortDone, Table); }
  void OnClose(IVoMAPITable* Table) override { Raise(owner_.OnClose, Table); }
  void OnRowAdded(IVoMAPITable* Table, const TVoVariant& InstanceKey, IVoMAPITable* Row) override {
    Raise(owner_.OnRowAdded, Table, InstanceKey, Row);
  }
  void OnRowModified(IVoMAPITable* Table, const TVoVariant& InstanceKey, IVoMAPITable* Row) override {
    Raise(owner_.OnRowModified, Table, InstanceKey, Row);
  }
  void OnRowDeleted(IVoMAPITable* Table, const TVoVariant& InstanceKey) override {
    Raise(owner_.OnRowDeleted, Table, InstanceKey);
  }

 private:
  template <class Event, class... Args>
  static void Raise(const Event& event, Args&&... args) {
    if (event) event(std::forward<Args>(args)...);
  }

  TVoMAPITableEvents& owner_;
};

TVoMAPITableEvents::TVoMAPITableEvents() = default;

TVoMAPITableEvents::~TVoMAPITableEvents() {
  try {
    Stop();
  } catch (...) {
    // The table's session may be gone; the connection goes with the component.
  }
}

void TVoMAPITableEvents::Start(IVoMAPITable* Table) {
  Stop();
  if (!Table) kit::Raise(E_INVALIDARG, u"No table specified!");
  auto* source = dynamic_cast<TVoAutoIntfObject*>(Table);
  if (!source) kit::Raise(E_INVALIDARG, u"The given table does not raise events of this library!");
  auto sink = MakeComObject<TSink>(*this);
  const DWORD cookie = source->EventConnect(static_cast<IVoMAPITableDEvents*>(sink.get()));
  try {
    Table->Advise();
  } catch (...) {
    source->EventDisconnect(cookie);
    throw;
  }
  table_ = ComPtr<IVoMAPITable>(Table);
  source_ = source;
  cookie_ = cookie;
}

void TVoMAPITableEvents::Stop() {
  if (!table_) return;
  ComPtr<IVoMAPITable> table = std::move(table_);
  source_->EventDisconnect(std::exchange(cookie_, 0));
  source_ = nullptr;
  table->UnAdvise();
}

ComPtr<IVoMAPITable> TVoMAPITableEvents::Get_Table() const {
  if (!table_) kit::Raise(E_FAIL, u"The internal MAPITable interface cannot be requested at this time!");
  return table_;
}

ComPtr<IVoMAPIFolder> TVoMAPITableEvents::Get_Folder() const {
  // A folder's tables are created by the folder.
  auto* table = dynamic_cast<TVoMAPIWrapper*>(table_.get());
  auto* folder = table ? dynamic_cast<TVoMAPIFolder*>(table->CreatedBy()) : nullptr;
  if (!folder) kit::Raise(E_FAIL, u"It's not possible to get the folder for this table!");
  return ComPtr<IVoMAPIFolder>(folder);
}

}  // namespace orba
