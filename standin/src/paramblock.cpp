#include <QtGlobal>
#include <algorithm>
#include <cstdarg>

#include "hostsdk.h"

namespace {

// Variable arguments: floats arrive promoted to double.
PB2Value readValue(va_list& ap, ParamType2 type) {
    PB2Value v;
    if (base_type(type) == TYPE_FLOAT) {
        v.f = static_cast<float>(va_arg(ap, double));
    } else {
        v.i = va_arg(ap, int);
    }
    return v;
}

}  // namespace

ParamBlockDesc2::ParamBlockDesc2(BlockID id, const MCHAR* name, StringResID localName,
                                 ClassDesc2* classDesc, USHORT blockFlags, ...)
    : ID(id), int_name(name), local_name(localName), cd(classDesc), flags(blockFlags) {
    va_list ap;
    va_start(ap, blockFlags);
    if (flags & P_VERSION) version = va_arg(ap, int);
    if (flags & P_AUTO_CONSTRUCT) ref_no = va_arg(ap, int);
    if (flags & P_AUTO_UI) {
        const int count = (flags & P_MULTIMAP) ? va_arg(ap, int) : 1;
        for (int i = 0; i < count; ++i) {
            ParamMapDesc map;
            if (flags & P_MULTIMAP) map.id = static_cast<MapID>(va_arg(ap, int));
            map.dlg_template = va_arg(ap, int);
            map.title = va_arg(ap, int);
            map.test_flags = va_arg(ap, int);
            map.rollup_flags = va_arg(ap, int);
            map.proc = static_cast<ParamMap2UserDlgProc*>(va_arg(ap, void*));
            maps.push_back(map);
        }
    }
    for (int tag = va_arg(ap, int); tag != p_end; tag = va_arg(ap, int)) {
        ParamDef def;
        def.ID = static_cast<ParamID>(tag);
        def.int_name = va_arg(ap, const MCHAR*);
        def.type = va_arg(ap, int);
        if (is_tab(def.type)) def.tab_size = va_arg(ap, int);
        def.flags = va_arg(ap, int);
        def.local_name = va_arg(ap, int);
        for (int t = va_arg(ap, int); t != p_end; t = va_arg(ap, int)) {
            if (t == p_default) {
                def.hasDefault = true;
                def.def = readValue(ap, def.type);
            } else if (t == p_range) {
                def.hasRange = true;
                def.range_low = readValue(ap, def.type);
                def.range_high = readValue(ap, def.type);
            } else if (t == p_ui) {
                def.hasUI = true;
                if (flags & P_MULTIMAP) def.uiMap = static_cast<MapID>(va_arg(ap, int));
                def.ctrl_type = va_arg(ap, int);
                if (def.ctrl_type == TYPE_RADIO) {
                    const int n = va_arg(ap, int);
                    for (int i = 0; i < n; ++i)
                        def.ctrl_IDs.push_back(va_arg(ap, int));
                } else if (def.ctrl_type == TYPE_SINGLECHEKBOX) {
                    def.ctrl_IDs.push_back(va_arg(ap, int));
                } else if (def.ctrl_type == TYPE_SPINNER) {
                    def.edit_type = va_arg(ap, int);
                    def.ctrl_IDs.push_back(va_arg(ap, int));
                    def.ctrl_IDs.push_back(va_arg(ap, int));
                    def.scale = static_cast<float>(va_arg(ap, double));
                } else {
                    qFatal("ParamBlockDesc2: control type %d is not supported", def.ctrl_type);
                }
            } else {
                // The rest of the list cannot be read past a tag we do not know.
                qFatal("ParamBlockDesc2: tag 0x%x is not supported", static_cast<unsigned>(t));
            }
        }
        paramdefs.push_back(def);
    }
    va_end(ap);
    if (cd) cd->AddParamBlockDesc(this);
}

int ParamBlockDesc2::IDtoIndex(ParamID id) const {
    for (int i = 0; i < Count(); ++i)
        if (paramdefs[static_cast<size_t>(i)].ID == id) return i;
    return -1;
}

const ParamDef& ParamBlockDesc2::GetParamDef(ParamID id) const {
    const int i = IDtoIndex(id);
    if (i < 0) qFatal("ParamBlockDesc2: no parameter %d", id);
    return paramdefs[static_cast<size_t>(i)];
}

// ---------------------------------------------------------------------------

IParamBlock2::IParamBlock2(ParamBlockDesc2* d) : desc(d) {
    for (const ParamDef& def : desc->paramdefs) {
        Param p{&def, {}};
        Value v;
        if (def.hasDefault) v.v = def.def;
        p.rows.assign(is_tab(def.type) ? static_cast<size_t>(std::max(def.tab_size, 0)) : 1, v);
        params.push_back(p);
    }
}

IParamBlock2* CreateParamBlock2(ParamBlockDesc2* desc, ReferenceMaker*) {
    return desc ? new IParamBlock2(desc) : nullptr;
}

IParamBlock2::Param* IParamBlock2::find(ParamID id, int baseType) {
    for (Param& p : params)
        if (p.def->ID == id) return base_type(p.def->type) == baseType ? &p : nullptr;
    return nullptr;
}

IParamBlock2::Value* IParamBlock2::at(ParamID id, int baseType, int tabIndex) {
    Param* p = find(id, baseType);
    if (!p || tabIndex < 0 || tabIndex >= static_cast<int>(p->rows.size())) return nullptr;
    return &p->rows[static_cast<size_t>(tabIndex)];
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue, float& v, Interval& ivalid, int tabIndex) {
    const Value* value = at(id, TYPE_FLOAT, tabIndex);
    if (!value) return FALSE;
    v = value->v.f;
    ivalid &= FOREVER;
    return TRUE;
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue, int& v, Interval& ivalid, int tabIndex) {
    const Value* value = at(id, TYPE_INT, tabIndex);
    if (!value) return FALSE;
    v = value->v.i;
    ivalid &= FOREVER;
    return TRUE;
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue, INode*& v, Interval& ivalid, int tabIndex) {
    const Value* value = at(id, TYPE_INODE, tabIndex);
    if (!value) return FALSE;
    v = value->node;
    ivalid &= FOREVER;
    return TRUE;
}

float IParamBlock2::GetFloat(ParamID id, TimeValue t, int tabIndex) {
    float v = 0.0f;
    Interval valid = FOREVER;
    GetValue(id, t, v, valid, tabIndex);
    return v;
}

int IParamBlock2::GetInt(ParamID id, TimeValue t, int tabIndex) {
    int v = 0;
    Interval valid = FOREVER;
    GetValue(id, t, v, valid, tabIndex);
    return v;
}

INode* IParamBlock2::GetINode(ParamID id, TimeValue t, int tabIndex) {
    INode* v = nullptr;
    Interval valid = FOREVER;
    GetValue(id, t, v, valid, tabIndex);
    return v;
}

void IParamBlock2::changed(PartID part) {
    NotifyDependents(FOREVER, part, REFMSG_CHANGE);
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue, float v, int tabIndex) {
    Value* value = at(id, TYPE_FLOAT, tabIndex);
    if (!value) return FALSE;
    value->v.f = v;
    changed(PART_ALL);
    return TRUE;
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue, int v, int tabIndex) {
    Value* value = at(id, TYPE_INT, tabIndex);
    if (!value) return FALSE;
    value->v.i = v;
    changed(PART_ALL);
    return TRUE;
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue, INode* v, int tabIndex) {
    if (!at(id, TYPE_INODE, tabIndex)) return FALSE;
    if (ReplaceReference(refIndexOf(id, tabIndex), v) != REF_SUCCEED) return FALSE;
    changed(PART_ALL);
    return TRUE;
}

int IParamBlock2::Count(ParamID id) {
    for (const Param& p : params)
        if (p.def->ID == id) return is_tab(p.def->type) ? static_cast<int>(p.rows.size()) : 0;
    return 0;
}

int IParamBlock2::SetCount(ParamID id, int n) {
    const int count = Count(id);
    if (n < 0 || n == count) return count;
    if (n < count) return Delete(id, n, count - n);
    for (Param& p : params) {
        if (p.def->ID != id) continue;
        p.rows.resize(static_cast<size_t>(n));
        changed(PART_ALL);
    }
    return Count(id);
}

int IParamBlock2::Delete(ParamID id, int start, int num) {
    for (Param& p : params) {
        if (p.def->ID != id || !is_tab(p.def->type)) continue;
        const int count = static_cast<int>(p.rows.size());
        if (start < 0 || num <= 0 || start >= count) return count;
        num = std::min(num, count - start);
        // Let go of the nodes first, while their rows still map to references.
        if (base_type(p.def->type) == TYPE_INODE)
            for (int r = start; r < start + num; ++r)
                ReplaceReference(refIndexOf(id, r), nullptr, FALSE);
        p.rows.erase(p.rows.begin() + start, p.rows.begin() + start + num);
        changed(PART_ALL);
        return static_cast<int>(p.rows.size());
    }
    return 0;
}

int IParamBlock2::refIndexOf(ParamID id, int tabIndex) {
    int index = 0;
    for (const Param& p : params) {
        if (base_type(p.def->type) != TYPE_INODE) continue;
        if (p.def->ID == id) return index + tabIndex;
        index += static_cast<int>(p.rows.size());
    }
    return -1;
}

int IParamBlock2::NumRefs() {
    int n = 0;
    for (const Param& p : params)
        if (base_type(p.def->type) == TYPE_INODE) n += static_cast<int>(p.rows.size());
    return n;
}

RefTargetHandle IParamBlock2::GetReference(int i) {
    for (Param& p : params) {
        if (base_type(p.def->type) != TYPE_INODE) continue;
        if (i < static_cast<int>(p.rows.size())) return p.rows[static_cast<size_t>(i)].node;
        i -= static_cast<int>(p.rows.size());
    }
    return nullptr;
}

void IParamBlock2::SetReference(int i, RefTargetHandle target) {
    for (Param& p : params) {
        if (base_type(p.def->type) != TYPE_INODE) continue;
        if (i < static_cast<int>(p.rows.size())) {
            p.rows[static_cast<size_t>(i)].node = dynamic_cast<INode*>(target);
            return;
        }
        i -= static_cast<int>(p.rows.size());
    }
}

RefResult IParamBlock2::NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                                         BOOL) {
    // A referenced node changed: the owner hears of it through propagation.
    return REF_SUCCEED;
}

RefTargetHandle IParamBlock2::Clone(RemapDir& remap) {
    auto* copy = new IParamBlock2(desc);
    for (size_t i = 0; i < params.size(); ++i) {
        copy->params[i].rows.resize(params[i].rows.size());
        for (size_t r = 0; r < params[i].rows.size(); ++r) {
            copy->params[i].rows[r].v = params[i].rows[r].v;
            if (INode* node = params[i].rows[r].node) {
                // Nodes are shared unless the same clone operation copied them too.
                auto* mapped = dynamic_cast<INode*>(remap.FindMapping(node));
                copy->ReplaceReference(copy->refIndexOf(params[i].def->ID, static_cast<int>(r)),
                                       mapped ? mapped : node);
            }
        }
    }
    BaseClone(this, copy, remap);
    return copy;
}

// ---------------------------------------------------------------------------

void ClassDesc2::MakeAutoParamBlocks(ReferenceMaker* owner) {
    if (!owner) return;
    for (ParamBlockDesc2* d : pbDescs)
        if (d->flags & P_AUTO_CONSTRUCT)
            owner->ReplaceReference(d->ref_no, CreateParamBlock2(d, owner));
}

ParamBlockDesc2* ClassDesc2::GetParamBlockDescByID(BlockID id) const {
    for (ParamBlockDesc2* d : pbDescs)
        if (d->ID == id) return d;
    return nullptr;
}
