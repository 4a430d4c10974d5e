// The schema of a store database (the SQLite backend).
#pragma once

namespace orba::store::sqlite {

// The schema version this engine writes and reads.
inline constexpr int kStoreSchemaVersion = 1;

// Creates every table and index of a new store. Folder and message ids are their entry
// IDs, so they are never reused once deleted (AUTOINCREMENT).
inline constexpr const char* kStoreSchema = R"(
CREATE TABLE store_info(
  id INTEGER PRIMARY KEY CHECK(id = 1),
  version INTEGER NOT NULL,
  kind INTEGER NOT NULL,
  guid BLOB NOT NULL,
  uid BLOB NOT NULL,
  change_number INTEGER NOT NULL DEFAULT 0,
  global_counter INTEGER NOT NULL DEFAULT 0);
CREATE TABLE store_props(
  prop_id INTEGER PRIMARY KEY, owner INTEGER NOT NULL DEFAULT 0, tag INTEGER NOT NULL, value BLOB NOT NULL);
CREATE TABLE folders(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  parent_id INTEGER REFERENCES folders(id),
  folder_type INTEGER NOT NULL,
  name TEXT NOT NULL,
  name_key BLOB NOT NULL,
  container_class TEXT NOT NULL DEFAULT '',
  creation_time INTEGER NOT NULL,
  modification_time INTEGER NOT NULL,
  source_key BLOB NOT NULL UNIQUE,
  change_key BLOB NOT NULL,
  predecessors BLOB NOT NULL,
  change_number INTEGER NOT NULL);
CREATE UNIQUE INDEX folders_by_name ON folders(parent_id, name_key);
CREATE INDEX folders_by_change ON folders(change_number);
CREATE TABLE folder_props(
  folder_id INTEGER NOT NULL REFERENCES folders(id) ON DELETE CASCADE,
  prop_id INTEGER NOT NULL, tag INTEGER NOT NULL, value BLOB NOT NULL,
  PRIMARY KEY(folder_id, prop_id));
CREATE TABLE special_folders(
  kind INTEGER PRIMARY KEY,
  folder_id INTEGER NOT NULL REFERENCES folders(id));
CREATE TABLE receive_folders(
  message_class TEXT PRIMARY KEY COLLATE NOCASE,
  folder_id INTEGER NOT NULL REFERENCES folders(id));
CREATE TABLE messages(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  folder_id INTEGER REFERENCES folders(id) ON DELETE CASCADE,
  attachment_id INTEGER REFERENCES attachments(id) ON DELETE CASCADE,
  associated INTEGER NOT NULL,
  deleted INTEGER NOT NULL DEFAULT 0,
  message_class BLOB,
  subject BLOB,
  normalized_subject BLOB,
  sender_name BLOB,
  creation_time INTEGER NOT NULL,
  last_modification_time INTEGER NOT NULL,
  delivery_time INTEGER,
  submit_time INTEGER,
  flags INTEGER NOT NULL,
  status INTEGER NOT NULL DEFAULT 0,
  size INTEGER NOT NULL,
  has_attach INTEGER NOT NULL,
  importance INTEGER,
  search_key BLOB NOT NULL,
  source_key BLOB NOT NULL,
  change_key BLOB NOT NULL,
  predecessors BLOB NOT NULL,
  change_number INTEGER NOT NULL,
  read_change_number INTEGER NOT NULL DEFAULT 0,
  CHECK((folder_id IS NULL) <> (attachment_id IS NULL)));
CREATE INDEX messages_by_folder ON messages(folder_id, associated, deleted);
CREATE INDEX messages_by_delivery ON messages(folder_id, associated, deleted, delivery_time);
CREATE INDEX messages_by_change ON messages(folder_id, change_number);
CREATE INDEX messages_by_read_change ON messages(folder_id, read_change_number);
CREATE INDEX messages_by_attachment ON messages(attachment_id);
CREATE TABLE message_props(
  message_id INTEGER NOT NULL REFERENCES messages(id) ON DELETE CASCADE,
  prop_id INTEGER NOT NULL, tag INTEGER NOT NULL, value BLOB NOT NULL,
  PRIMARY KEY(message_id, prop_id));
CREATE TABLE recipients(
  message_id INTEGER NOT NULL REFERENCES messages(id) ON DELETE CASCADE,
  row_id INTEGER NOT NULL,
  props BLOB NOT NULL,
  PRIMARY KEY(message_id, row_id));
CREATE TABLE attachments(
  id INTEGER PRIMARY KEY,
  message_id INTEGER NOT NULL REFERENCES messages(id) ON DELETE CASCADE,
  attach_num INTEGER NOT NULL,
  UNIQUE(message_id, attach_num));
CREATE TABLE attachment_props(
  attachment_id INTEGER NOT NULL REFERENCES attachments(id) ON DELETE CASCADE,
  prop_id INTEGER NOT NULL, tag INTEGER NOT NULL, value BLOB NOT NULL,
  PRIMARY KEY(attachment_id, prop_id));
CREATE TABLE tombstones(
  id INTEGER PRIMARY KEY,
  folder_id INTEGER NOT NULL,
  kind INTEGER NOT NULL,
  source_key BLOB NOT NULL,
  change_number INTEGER NOT NULL,
  soft INTEGER NOT NULL,
  associated INTEGER NOT NULL);
CREATE INDEX tombstones_by_folder ON tombstones(folder_id, change_number);
CREATE TABLE named_props(
  prop_id INTEGER PRIMARY KEY,
  guid BLOB NOT NULL,
  kind INTEGER NOT NULL,
  lid INTEGER NOT NULL,
  name TEXT NOT NULL,
  UNIQUE(guid, kind, lid, name));
)";

// The outgoing queue: submitted messages waiting for a transport, and the recipients
// (PR_ROWID) each still has to reach. Kept apart from kStoreSchema so that stores made
// before the queue existed get it when opened.
inline constexpr const char* kOutgoingQueueSchema = R"(
CREATE TABLE IF NOT EXISTS outgoing_queue(
  message_id INTEGER PRIMARY KEY REFERENCES messages(id) ON DELETE CASCADE,
  submit_time INTEGER NOT NULL,
  submit_flags INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS outgoing_queue_by_time ON outgoing_queue(submit_time, message_id);
CREATE TABLE IF NOT EXISTS outgoing_recipients(
  message_id INTEGER NOT NULL REFERENCES outgoing_queue(message_id) ON DELETE CASCADE,
  row_id INTEGER NOT NULL,
  PRIMARY KEY(message_id, row_id));
)";

// The criteria of search folders: their restriction (restrictioncodec.h), the folders
// they search (search_scope, in the order given; a listed folder may since have been
// deleted) and, for a stopped search, the results it keeps (search_kept). Stores made
// before search folders existed get these tables when they are opened.
inline constexpr const char* kSearchSchema = R"(
CREATE TABLE IF NOT EXISTS search_criteria(
  folder_id INTEGER PRIMARY KEY REFERENCES folders(id) ON DELETE CASCADE,
  restriction BLOB NOT NULL,
  recursive INTEGER NOT NULL,
  foreground INTEGER NOT NULL,
  running INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS search_scope(
  search_id INTEGER NOT NULL REFERENCES folders(id) ON DELETE CASCADE,
  position INTEGER NOT NULL,
  folder_id INTEGER NOT NULL,
  PRIMARY KEY(search_id, position));
CREATE TABLE IF NOT EXISTS search_kept(
  search_id INTEGER NOT NULL REFERENCES folders(id) ON DELETE CASCADE,
  message_id INTEGER NOT NULL,
  PRIMARY KEY(search_id, message_id));
)";

}  // namespace orba::store::sqlite
