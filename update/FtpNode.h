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
    std::string name;        // the bytes as listed: what every request uses
    std::string localName;   // the same name decoded, as UTF-8: what the disk uses
    long long size = -1;     // a file's size on the server, -1 when unknown
    long long modified = -1; // its modification time there (Unix seconds), -1 when unknown
    bool wanted = true;      // fetched by this run (a repair fetches only what is damaged)
    std::vector<std::unique_ptr<FtpNode>> children;
};
