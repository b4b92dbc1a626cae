#pragma once

#include <memory>
#include <string>
#include <vector>

// One name of a game's folder tree as the FTP server listed it: a file, or a folder with
// its children in listing order. Each node owns its children; FtpThread owns the root.
class FtpNode {
public:
    enum Kind { File = 0, Directory = 1 };

    FtpNode(int kind, const std::string& name);
    FtpNode(const FtpNode&) = delete;
    FtpNode& operator=(const FtpNode&) = delete;

    // Appends a new child unless one of this name is already there; returns the new
    // child, or null when the name was taken.
    FtpNode* addChild(int kind, const std::string& name);

    int kind;
    std::string name;
    std::vector<std::unique_ptr<FtpNode>> children;
};
