#pragma once
// Wires the remote list's tools to the frame's menu, toolbar and keys: file operations, view and
// edit, export and copy URL, find, filter and bookmarks.

class QAction;
class TBrowserFrame;

// Attaches every tool to `frame` and adds their toolbar buttons.
void AttachRemoteTools(TBrowserFrame& frame);

// "Find..." and "Filter" of `frame`: run their dialogs on its remote list.
void RunFindForm(TBrowserFrame& frame);
void RunFilterForm(TBrowserFrame& frame);
