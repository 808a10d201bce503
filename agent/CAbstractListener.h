#pragma once
// A receiver of the coordinator's messages. Every message of a run reaches
// each registered listener through the two-argument operation, synchronously
// and in the order the messages are sent.

#include <map>
#include <string>

class CAbstractListener {
public:
    // A message with named parameters ("UPDATE_PROGRESS" carries "TOTAL_SIZE"
    // and "UPLOADED_SIZE"; plain messages carry an empty map).
    virtual void onMessage(const std::string& message,
                           std::map<std::string, std::string>& params) = 0;
    // A plain message.
    virtual void onMessage(const std::string& message) = 0;

protected:
    ~CAbstractListener() = default;
};
