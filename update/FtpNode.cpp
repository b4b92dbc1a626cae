#include "update/FtpNode.h"

#include <algorithm>

FtpNode::FtpNode(int kind, const std::string& name) : kind(kind), name(name), localName(name) {}

FtpNode* FtpNode::addChild(int childKind, const std::string& childName) {
    const bool taken =
        std::any_of(children.begin(), children.end(), [&](const std::unique_ptr<FtpNode>& child) {
            return child->name == childName;
        });
    if (taken) {
        return nullptr;
    }
    children.push_back(std::make_unique<FtpNode>(childKind, childName));
    return children.back().get();
}
