/* The text windows' tools: the command line, a log file per text window and
 * the window-information report. All of them run on the thread that owns the
 * text windows (the user thread). */
#ifndef MAV_TOOLS_H
#define MAV_TOOLS_H

/* Prints "Cmd>" in the current text window, reads a line and runs it:
 * exit, start, help, ver or color (exact, case-sensitive). 0, or 1 for an
 * unknown command ("Invalid command" is printed). */
int MAV_CommandPrompt(void);

/* Logs text window `no` into "<start dir>MAVLIB<instance><no>.LOG": what is
 * printed (before wrapping), each entered line with a newline, and a newline
 * per clear, as Shift-JIS. Starting creates (truncates) the file; after a
 * stop it continues the same file. 0, 1 already logging, 2 the file cannot
 * be created ("Can't create file for LOG!"), 3 no such window. */
int MAV_StartLog(int no);
/* Pauses the log; the file stays open. 0, 1 no log, 2 no such window. */
int MAV_StopLog(int no);
/* Closes every text window's log file (Exit does this). */
void MAV_CloseAllLogs(void);
/* Puts the whole log file of window `no` on the clipboard as text; a running
 * log goes on in the same file. 0, 1 clipboard unavailable, 2 the file
 * cannot be opened ("Can't open LOG file!"), 3 not enough memory,
 * 4 no such window. */
int MAV_CopyLogToClipboard(int no);

#endif
