// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>

namespace talvesk {

class QtPageBrowser;
struct PictureChoice;
struct PreviewCounts;

// Tick boxes on the preview's pictures, all ticked, each with the picture's pixel size once it
// has loaded, and buttons that tick or clear a list or everything. They are made by a script of
// ours in an isolated world, after the preview has been written: the page's markup stays as
// written, runs no script of its own, and no address is ever parsed as markup.
void addPictureChoices(QtPageBrowser &preview, const PreviewCounts &counts);

// The ticked pictures, as the preview shows them now; nullopt when it shows no tick boxes.
void readPictureChoice(QtPageBrowser &preview, std::function<void(std::optional<PictureChoice>)> reply);

} // namespace talvesk
