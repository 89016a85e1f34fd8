/* Services of the window layer that a desktop provides: the save-file and
 * colour dialogs, message boxes, the clipboard and dialogs built from
 * templates. A toolkit adapter backs them with real widgets; without one
 * (tests, servers) a scripted stand-in answers: tests queue the answers
 * and read back what was asked. */
#ifndef RASTRIX_PLATFORM_UI_SERVICES_H
#define RASTRIX_PLATFORM_UI_SERVICES_H

#include <stddef.h>
#include <stdint.h>

#include "platform/gdi.h"
#include "platform/window.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Common dialogs and message boxes ----------------------------------- */
enum { PW_OFN_HIDEREADONLY = 0x4, PW_OFN_NOREADONLYRETURN = 0x8000 };
typedef struct pw_file_dialog {
  HWND owner;
  const char* title;          /* may be null */
  const char* filter_name;    /* "Log File (*.log)" */
  const char* filter_pattern; /* "*.log" */
  const char* initial_name;   /* may be null or empty */
  uint32_t flags;
} pw_file_dialog;
/* 1 with the chosen name (UTF-8, cut to size - 1 bytes), 0 when the user
 * cancels or the name does not fit. */
int32_t pw_file_save_dialog(const pw_file_dialog* dialog, char* out, int32_t size);
/* 1 with the chosen colour; `custom` (16 colours, may be null) is read
 * and updated. */
int32_t pw_colour_dialog(HWND owner, COLORREF initial, COLORREF* custom, COLORREF* out);

enum {
  PW_MB_OK = 0x0, PW_MB_OKCANCEL = 0x1, PW_MB_YESNO = 0x4, PW_MB_ICONERROR = 0x10, PW_MB_ICONQUESTION = 0x20,
  PW_MB_ICONWARNING = 0x30, PW_MB_ICONINFORMATION = 0x40
};
enum { PW_IDOK = 1, PW_IDCANCEL = 2, PW_IDYES = 6, PW_IDNO = 7 };
int32_t pw_message_box(HWND owner, const char* text, const char* caption, uint32_t type);

/* ---- Clipboard -------------------------------------------------------------
 * Memory formats (CF_TEXT, CF_DIB) hold copies of bytes; CF_BITMAP and
 * CF_PALETTE hold handles that the clipboard then owns and deletes when
 * emptied. Reading and writing need the clipboard open; it is open for one
 * opener at a time. */
enum { CF_TEXT = 1, CF_BITMAP = 2, CF_DIB = 8, CF_PALETTE = 9 };
/* The clipboard holds at most this many bytes per format. */
enum { PW_CLIPBOARD_MAX_BYTES = 256 * 1024 * 1024 };
int32_t pw_clipboard_open(HWND owner);
int32_t pw_clipboard_close(void);
int32_t pw_clipboard_empty(void);
int32_t pw_clipboard_format_available(uint32_t format); /* open or not */
int32_t pw_clipboard_data_set(uint32_t format, const void* data, size_t size);
/* The bytes of a memory format, valid until the clipboard is emptied or
 * closed; null when absent or not open. */
const void* pw_clipboard_data_get(uint32_t format, size_t* size);
int32_t pw_clipboard_bitmap_set(HBITMAP bitmap);
HBITMAP pw_clipboard_bitmap_get(void);
int32_t pw_clipboard_palette_set(HPALETTE palette);
HPALETTE pw_clipboard_palette_get(void);

/* ---- Dialogs from templates ------------------------------------------------
 * Positions and sizes are dialog units: a quarter of the font's average
 * character width across, an eighth of its height down. Items are child
 * windows of classes "BUTTON", "EDIT", "STATIC" and "ICON" with their ids,
 * so that a dialog can be driven by item id headless as well as on a
 * desktop. The dialog procedure returns nonzero for what it handled; an
 * unhandled OK (1) or Cancel (2) command ends the dialog with that id. */
enum { PW_BS_DEFPUSHBUTTON = 0x1, PW_ES_MULTILINE = 0x4, PW_ES_AUTOVSCROLL = 0x40, PW_ES_AUTOHSCROLL = 0x80, PW_ES_READONLY = 0x800 };
typedef struct pw_dialog_item {
  int32_t id; /* -1 for items nobody addresses */
  const char* class_name;
  const char* text;
  int32_t x, y, cx, cy;
  uint32_t style;
} pw_dialog_item;
typedef struct pw_dialog_template {
  const char* caption;
  const char* font_name;
  int32_t font_points;
  int32_t cx, cy;
  const pw_dialog_item* items;
  int32_t item_count;
} pw_dialog_template;
typedef intptr_t (*pw_dialog_proc)(HWND dialog, uint32_t message, WPARAM wparam, LPARAM lparam);

/* A modeless dialog, shown; WM_INITDIALOG carries init_param. */
HWND pw_dialog_create(const pw_dialog_template* tmpl, HWND owner, pw_dialog_proc proc, LPARAM init_param);
/* A modal dialog: returns the value given to pw_dialog_end, or -1 when it
 * could not be made. A desktop runs it until it ends; headless, the
 * scripted stand-in's handler drives it, and a dialog still open after
 * that ends with Cancel. */
intptr_t pw_dialog_box(const pw_dialog_template* tmpl, HWND owner, pw_dialog_proc proc, LPARAM init_param);
int32_t pw_dialog_end(HWND dialog, intptr_t result);
int32_t pw_dialog_ended(HWND dialog, intptr_t* result);
int32_t pw_dialog_is(HWND hwnd);
HWND pw_dialog_item_get(HWND dialog, int32_t id);
int32_t pw_dialog_item_text_set(HWND dialog, int32_t id, const char* text);
int32_t pw_dialog_item_text_get(HWND dialog, int32_t id, char* out, int32_t size);
/* As if the user pressed the item: WM_COMMAND (id, BN_CLICKED). */
int32_t pw_dialog_item_click(HWND dialog, int32_t id);
/* The dialog's template as it was made (strings are the layer's copies). */
const pw_dialog_template* pw_dialog_template_get(HWND dialog);
/* Dialog units to pixels, in place. */
int32_t pw_dialog_units_to_pixels(pg_rect* rect);

/* ---- Backing the services ---------------------------------------------------
 * A toolkit installs a table; null entries keep the stand-in's answer. */
typedef struct pw_services {
  void* user;
  int32_t (*file_save)(void* user, const pw_file_dialog* dialog, char* out, int32_t size);
  int32_t (*colour)(void* user, HWND owner, COLORREF initial, COLORREF* custom, COLORREF* out);
  int32_t (*message_box)(void* user, HWND owner, const char* text, const char* caption, uint32_t type);
  /* Fills the layer's store from the system clipboard when it is opened;
   * publishes the store when it is closed after a change. */
  void (*clipboard_load)(void* user);
  void (*clipboard_publish)(void* user);
  /* Runs a modal dialog until pw_dialog_ended says so. */
  void (*dialog_run)(void* user, HWND dialog);
} pw_services;
void pw_services_install(const pw_services* services); /* null: the stand-in again */

/* ---- The scripted stand-in ----------------------------------------------------
 * Answers are taken in order; with none queued a file or colour dialog is
 * cancelled and a message box answers its first button. */
void pw_script_reset(void);
void pw_script_file_answer(const char* name); /* null: cancel */
void pw_script_colour_answer(int32_t ok, COLORREF colour);
void pw_script_message_answer(int32_t button);
typedef void (*pw_script_dialog_fn)(void* user, HWND dialog);
void pw_script_dialog_handler(pw_script_dialog_fn fn, void* user);
/* What was asked, oldest first: kind 1 file dialog (text: the filter
 * pattern), 2 colour dialog, 3 message box (text: caption, a line feed,
 * the text), 4 modal dialog (text: caption). Returns the kind, 0 past the
 * end. */
int32_t pw_script_asked(int32_t index, char* text, int32_t size);
int32_t pw_script_asked_count(void);

#ifdef __cplusplus
}
#endif

#endif
