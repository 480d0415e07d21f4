-- The template Info.db that ships in <program folder>/Users/All Users/ and is
-- copied for every user on first use. The build turns this file into the database.

PRAGMA user_version = 1;

-- Every notice the tray has shown. Status: 0 unread, 1 read.
CREATE TABLE HistoryNews (
    Id INTEGER PRIMARY KEY,
    TypeStr TEXT,
    Title TEXT,
    UrlStr TEXT,
    Brief TEXT,
    AddTime TEXT,            -- "yyyy-MM-dd HH:mm:ss", so text order is time order
    SNo TEXT UNIQUE,         -- the serial of a notice; storing it again replaces the row
    Status INTEGER DEFAULT 0,
    PhotoPath TEXT
);

-- The message box pages newest first: "Order by AddTime Desc ,id Limit ? Offset ?".
CREATE INDEX HistoryNews_Page ON HistoryNews (AddTime DESC, Id);

-- The notice download asks whether a title and address were seen before.
CREATE INDEX HistoryNews_Seen ON HistoryNews (Title COLLATE NOCASE, UrlStr COLLATE NOCASE);

-- The tray counts unread notices every few minutes.
CREATE INDEX HistoryNews_Status ON HistoryNews (Status);

-- A link opened from the message box marks every unread row with its address read.
CREATE INDEX HistoryNews_Url ON HistoryNews (UrlStr COLLATE NOCASE, Status);

-- The user's notice preferences, one row per key.
CREATE TABLE SoftSettings (
    FieldStr TEXT PRIMARY KEY,
    DataStr TEXT
);
