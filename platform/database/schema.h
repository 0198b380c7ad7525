// The layout of a book file: table and column names, sizes, and the statements that create it.
#pragma once

namespace velkora::database::schema {

// Raised whenever the layout changes; a file with a newer number is refused, not guessed at.
inline constexpr int Version = 1;

// The encrypted page size of a book file, set on every connection before the first read: larger
// pages cost less per byte to encrypt and authenticate, which is what saving a long body is made of.
inline constexpr int CipherPageSize = 4096;

// Characters a topic or subtopic title may hold.
inline constexpr int TitleLength = 255;

inline constexpr const char *MasterTable = "master";
inline constexpr const char *DetailTable = "detail";

// Every table carries a row version the engine raises on each update; a write names the version it
// read, so a row changed by another connection meanwhile is refused instead of overwritten. The
// column is the engine's own and is not shown as a field.
inline constexpr const char *RowVersionColumn = "Surum";

// Declared column types; the engine reads sizes back from these (VARCHAR(n) is text of n characters,
// LONGTEXT text of any length, INTEGER a 64-bit number).
inline constexpr const char *CreateStatements[] = {
    "CREATE TABLE master ("
    " Sira INTEGER PRIMARY KEY AUTOINCREMENT,"
    " Baslik VARCHAR(255) CHECK (Baslik IS NULL OR length(Baslik) <= 255),"
    " Surum INTEGER NOT NULL DEFAULT 1)",
    "CREATE TABLE detail ("
    " Kimlik INTEGER PRIMARY KEY AUTOINCREMENT,"
    " Sira INTEGER NOT NULL REFERENCES master(Sira) ON DELETE CASCADE,"
    " Altkonu VARCHAR(255) CHECK (Altkonu IS NULL OR length(Altkonu) <= 255),"
    " Aciklama LONGTEXT,"
    " Surum INTEGER NOT NULL DEFAULT 1)",
    // Serves the topic's subtopic list and, as a covering index, the title search, so neither
    // reads the pages that hold the bodies.
    "CREATE INDEX detail_sira_altkonu ON detail(Sira, Altkonu, Surum)",
};

} // namespace velkora::database::schema
