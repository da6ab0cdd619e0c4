// The rekul-report program: its options and the conversion of one report.
#pragma once

int reportMain(int argc, char** argv);
