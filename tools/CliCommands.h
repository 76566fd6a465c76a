// The commands of quillmora-cli. Each returns the exit status.
#pragma once

#include <map>
#include <string>
#include <vector>

enum TExitStatus : int {
  kExitOk = 0,
  kExitFailed = 1,  // a document or file could not be read or written
  kExitUsage = 2,
};

struct TInvocation {
  std::vector<std::string> Arguments;          // without the command and its options
  std::map<std::string, std::string> Options;  // given options with their values ("" for flags)
};

int RunDump(const TInvocation& call);
int RunLatex(const TInvocation& call);
int RunMathML(const TInvocation& call);
int RunStarMath(const TInvocation& call);
int RunSpeech(const TInvocation& call);
int RunBuild(const TInvocation& call);
int RunRender(const TInvocation& call);
// The usage check of render, before anything is read: scale, extensions and
// transparency.
bool CheckRender(const TInvocation& call, std::string& error);
int RunSample(const TInvocation& call);
