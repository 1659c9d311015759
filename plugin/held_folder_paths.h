#pragma once

// The tool gives SQLite a day database as /proc/self/fd/<n>/<date>.db, <n>
// being the location folder it holds, so that the database and every journal
// SQLite creates and deletes beside it at each commit stay in that very
// folder, whatever happens to the folder's path meanwhile. SQLite refuses a
// path with a link in it when asked not to follow links, and /proc/self and
// /proc/self/fd/<n> are links: for exactly these two, SQLite is shown what
// they lead to. The database's own name is still checked, so a day database
// that is itself a link is refused as before.
void LetSqliteReachHeldFolders();
