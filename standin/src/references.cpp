#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "hostsdk.h"

Interval Interval::operator&(const Interval& o) const {
    if (Empty() || o.Empty()) return NEVER;
    const TimeValue s = std::max(start, o.start);
    const TimeValue e = std::min(end, o.end);
    if (s > e) return NEVER;
    return Interval(s, e);
}

// ---------------------------------------------------------------------------

Matrix3::Matrix3() {
    IdentityMatrix();
}

void Matrix3::IdentityMatrix() {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            m[r][c] = (r == c) ? 1.0f : 0.0f;
}

void Matrix3::SetRow(int i, const Point3& p) {
    m[i][0] = p.x;
    m[i][1] = p.y;
    m[i][2] = p.z;
}

Matrix3 Matrix3::operator*(const Matrix3& B) const {
    Matrix3 R;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            float s = 0.0f;
            for (int k = 0; k < 3; ++k)
                s += m[r][k] * B.m[k][c];
            if (r == 3) s += B.m[3][c];
            R.m[r][c] = s;
        }
    }
    return R;
}

bool Matrix3::operator==(const Matrix3& o) const {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            if (m[r][c] != o.m[r][c]) return false;
    return true;
}

Point3 operator*(const Point3& p, const Matrix3& M) {
    return Point3(p.x * M.m[0][0] + p.y * M.m[1][0] + p.z * M.m[2][0] + M.m[3][0],
                  p.x * M.m[0][1] + p.y * M.m[1][1] + p.z * M.m[2][1] + M.m[3][1],
                  p.x * M.m[0][2] + p.y * M.m[1][2] + p.z * M.m[2][2] + M.m[3][2]);
}

Matrix3 TransMatrix(const Point3& p) {
    Matrix3 M;
    M.SetTrans(p);
    return M;
}

Matrix3 RotateZMatrix(float angle) {
    Matrix3 M;
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    M.SetRow(0, Point3(c, s, 0.0f));
    M.SetRow(1, Point3(-s, c, 0.0f));
    return M;
}

// ---------------------------------------------------------------------------

namespace {

template <typename T>
void eraseOne(std::vector<T*>& v, T* p) {
    auto it = std::find(v.begin(), v.end(), p);
    if (it != v.end()) v.erase(it);
}

// Every maker that depends on target, directly or not, target included.
std::unordered_set<ReferenceMaker*> dependencyClosure(ReferenceTarget* target) {
    std::unordered_set<ReferenceMaker*> seen;
    std::vector<ReferenceMaker*> todo{target};
    while (!todo.empty()) {
        ReferenceMaker* m = todo.back();
        todo.pop_back();
        if (!seen.insert(m).second) continue;
        if (auto* t = dynamic_cast<ReferenceTarget*>(m))
            for (ReferenceMaker* d : t->Dependents())
                todo.push_back(d);
    }
    return seen;
}

}  // namespace

ReferenceMaker::~ReferenceMaker() {
    // Links left by slots the maker's own mapping no longer shows.
    while (!links.empty())
        dropLink(links.back());
}

void ReferenceMaker::dropLink(ReferenceTarget* target) {
    eraseOne(links, target);
    eraseOne(target->dependents, static_cast<ReferenceMaker*>(this));
}

RefResult ReferenceMaker::ReplaceReference(int which, RefTargetHandle newtarg, BOOL delOld) {
    RefTargetHandle old = GetReference(which);
    if (old == newtarg) return REF_SUCCEED;
    if (newtarg) {
        // A target that already depends on this maker would end up depending on itself.
        auto* self = dynamic_cast<ReferenceTarget*>(this);
        if (self && dependencyClosure(self).count(newtarg)) return REF_FAIL;
    }
    SetReference(which, newtarg);
    // The maker may refuse the target (a slot it does not have).
    if (GetReference(which) != newtarg) return REF_FAIL;
    if (newtarg) {
        links.push_back(newtarg);
        newtarg->dependents.push_back(this);
    }
    if (old && std::find(links.begin(), links.end(), old) != links.end()) {
        dropLink(old);
        if (delOld) old->MaybeAutoDelete();
    }
    return REF_SUCCEED;
}

void ReferenceMaker::DeleteAllRefsFromMe() {
    for (int i = 0; i < NumRefs(); ++i)
        if (GetReference(i)) ReplaceReference(i, nullptr, TRUE);
    while (!links.empty()) {
        ReferenceTarget* t = links.back();
        dropLink(t);
        t->MaybeAutoDelete();
    }
}

// ---------------------------------------------------------------------------

RefTargetHandle RemapDir::FindMapping(RefTargetHandle from) {
    for (const auto& e : map)
        if (e.first == from) return e.second;
    return nullptr;
}

void RemapDir::AddEntry(RefTargetHandle from, RefTargetHandle to) {
    if (!FindMapping(from)) map.emplace_back(from, to);
}

RefTargetHandle RemapDir::CloneRef(RefTargetHandle target) {
    if (!target) return nullptr;
    if (RefTargetHandle done = FindMapping(target)) return done;
    RefTargetHandle copy = target->Clone(*this);
    AddEntry(target, copy);
    return copy;
}

// ---------------------------------------------------------------------------

ReferenceTarget::~ReferenceTarget() {
    while (!dependents.empty())
        dependents.back()->dropLink(this);
}

RefResult ReferenceTarget::NotifyDependents(const Interval& changeInt, PartID partID,
                                            RefMessage message, SClass_ID sclass, BOOL propagate,
                                            RefTargetHandle hTarget) {
    const std::vector<ReferenceMaker*> makers = dependents;
    for (ReferenceMaker* m : makers) {
        // A maker may have let go of this target while an earlier one was told.
        if (std::find(dependents.begin(), dependents.end(), m) == dependents.end()) continue;
        if (sclass != NOTIFY_ALL && m->SuperClassID() != sclass) continue;
        PartID part = partID;
        const RefResult r =
            m->NotifyRefChanged(changeInt, hTarget ? hTarget : this, part, message, propagate);
        if (r == REF_STOP || !propagate) continue;
        if (auto* t = dynamic_cast<ReferenceTarget*>(m))
            t->NotifyDependents(changeInt, part, message, sclass, propagate, nullptr);
    }
    return REF_SUCCEED;
}

int ReferenceTarget::DoEnumDependents(DependentEnumProc* dep) {
    std::unordered_set<ReferenceMaker*> seen;
    std::vector<ReferenceMaker*> todo{this};
    while (!todo.empty()) {
        ReferenceMaker* m = todo.front();
        todo.erase(todo.begin());
        if (!seen.insert(m).second) continue;
        const int r = dep->proc(m);
        if (r == DEP_ENUM_HALT) return 1;
        if (r == DEP_ENUM_SKIP) continue;
        if (auto* t = dynamic_cast<ReferenceTarget*>(m))
            for (ReferenceMaker* d : t->dependents)
                todo.push_back(d);
    }
    return 0;
}

void ReferenceTarget::BaseClone(ReferenceTarget* from, ReferenceTarget* to, RemapDir& remap) {
    if (from && to) remap.AddEntry(from, to);
}

BOOL ReferenceTarget::MaybeAutoDelete() {
    if (!dependents.empty() || !IsAutoDeletable()) return FALSE;
    DeleteAllRefsFromMe();
    DeleteThis();
    return TRUE;
}

void ReferenceTarget::DeleteMe() {
    NotifyDependents(FOREVER, PART_ALL, REFMSG_TARGET_DELETED, NOTIFY_ALL, FALSE);
    while (!dependents.empty()) {
        ReferenceMaker* m = dependents.back();
        for (int i = 0; i < m->NumRefs(); ++i)
            if (m->GetReference(i) == this) m->ReplaceReference(i, nullptr, FALSE);
        // Whatever links the maker's slots do not show.
        while (std::find(dependents.begin(), dependents.end(), m) != dependents.end())
            m->dropLink(this);
    }
    DeleteAllRefsFromMe();
    DeleteThis();
}
