#include "nodelookup.h"

#include <vector>

namespace {

// Collects every node among the dependents.
class MyEnumProc : public DependentEnumProc {
public:
    int proc(ReferenceMaker* rmaker) override {
        if (rmaker->SuperClassID() == BASENODE_CLASS_ID)
            nodes.push_back(static_cast<INode*>(rmaker));
        return DEP_ENUM_CONTINUE;
    }

    std::vector<INode*> nodes;
};

// Down the derived objects, then into every pipe branch of what lies below.
bool holds(Object* obj, ModContext* mc) {
    while (obj && obj->SuperClassID() == GEN_DERIVOB_CLASS_ID) {
        auto* derived = static_cast<IDerivedObject*>(obj);
        for (int j = 0; j < derived->NumModifiers(); ++j)
            if (derived->GetModContext(j) == mc) return true;
        obj = derived->GetObjRef();
    }
    if (!obj) return false;
    for (int b = 0; b < obj->NumPipeBranches(false); ++b)
        if (holds(obj->GetPipeBranch(b, false), mc)) return true;
    return false;
}

}  // namespace

INode* findNodeHolding(ReferenceTarget* mod, ModContext* mc) {
    MyEnumProc dependents;
    mod->DoEnumDependents(&dependents);
    for (INode* node : dependents.nodes) {
        Object* obj = node->GetObjectRef();
        if (holds(obj, mc)) return node;
        // A referenced scene's object shows its source as reference 0.
        if (obj && obj->SuperClassID() == SYSTEM_CLASS_ID && obj->ClassID() == XREFOBJ_CLASS_ID &&
            holds(static_cast<Object*>(obj->GetReference(0)), mc))
            return node;
    }
    return nullptr;
}
