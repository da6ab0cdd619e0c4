// The figures of the page as SVG files (rekul-report --svg DIR): heatmap.svg, network.svg,
// volcano.svg and one M<n>.svg per module. The page's own script draws them in a headless
// Chromium that this command drives (the page read at #export-svg hands every figure over
// as its SVG button saves it), so that the files and the page come from one drawing code
// and cannot drift apart. The browser is `chromium` (or `chromium-browser`,
// `google-chrome`) on the PATH, or the program REKUL_CHROMIUM names.
#pragma once

#include <map>
#include <string>

// Draws the page in the browser and writes each of its figures into `folder` (made where
// missing); refuses, with nothing written, where no browser runs or its answer is not the
// page's.
// The drawings of the modules the page opens (the first 20), or of every module.
void writeSvgFiles(const std::string& page, const std::string& folder, bool allModules = false);

// The string values of a flat JSON object of strings, as the page writes it.
std::map<std::string, std::string> parseStringObject(const std::string& json);
