// The node model the folder tree and the combo's drop-down tree share: a
// root for the drives folder, one node per drive, folder nodes filled from
// the file system when first expanded, and the paths of nodes.
#pragma once

#include "framework/forms/ComCtrls.h"

namespace shellbrowse {

using forms::String;
using forms::TCustomTreeView;
using forms::TTreeNode;

// "" for the root (and no node), "C:\" for a drive, "C:\Windows" below.
String DirNodePath(const TTreeNode* node);
// Clears the tree and adds the root with the drives folder's name and
// icon; nullptr when the shell cannot name it.
TTreeNode* AddDirRoot(TCustomTreeView& tree);
// One node per present drive, in letter order, each ready to be filled.
void AddDriveNodes(TCustomTreeView& tree, TTreeNode* root);
// Reads the node's folder when it has no child yet: one child per
// sub-folder (hidden and system ones too), each marked when it holds a
// sub-folder itself, sorted by name. Only this one level is read, so a
// folder that links back to its own parents (drive Z: is the Unix root)
// costs one level per expansion and never loops.
void FillDirNode(TCustomTreeView& tree, TTreeNode* node);
// Whether the folder holds at least one sub-folder.
bool HasSubFolder(const String& folder);
// The child of parent that a path component ("C:\" or "Music\") names,
// compared ignoring case.
TTreeNode* FindDirChild(TTreeNode* parent, const String& component);
// The node of the target's last component, walked component by component
// from the root; each node on the way is selected and expanded (which
// fills it). nullptr when a component has no node: the walk stops there.
TTreeNode* WalkDirPath(TTreeNode* root, const String& target);

}  // namespace shellbrowse
