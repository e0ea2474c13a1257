#pragma once
// Base of the MIME components: a string form that Assemble rebuilds from the
// component's parts when they were modified.
#include "text/dw_string.h"

namespace vx {

class DwMessageComponent {
public:
    DwMessageComponent(const DwMessageComponent&) = delete;
    DwMessageComponent& operator=(const DwMessageComponent&) = delete;
    virtual ~DwMessageComponent() = default;

    // Rebuilds the string form if the component was modified since the last time.
    virtual void Assemble() = 0;

    const DwString& AsString() const { return string; }
    bool IsModified() const { return modified; }
    // Marks this component and every enclosing one, so that assembling the
    // outermost component rebuilds the changed parts.
    void SetModified();

    DwMessageComponent* Parent() const { return parent; }
    void SetParent(DwMessageComponent* component) { parent = component; }
    int ClassId() const { return classId; }
    const char* ClassName() const { return className; }

protected:
    DwMessageComponent(int classId, const char* className)
        : classId(classId), className(className) {}

    DwString string;
    bool modified = false;

private:
    DwMessageComponent* parent = nullptr;
    int classId;
    const char* className;
};

}  // namespace vx
