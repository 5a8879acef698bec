#pragma once

// Each suite runs its Qt Test class and returns the number of failed cases.
int RunNumberFormatTests(int argc, char** argv);
int RunControlsTests(int argc, char** argv);
int RunFormLayoutTests(int argc, char** argv);
int RunFormBehaviourTests(int argc, char** argv);
int RunEndToEndTests(int argc, char** argv);
